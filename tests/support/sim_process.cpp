#include "support/sim_process.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/deadline.h"

namespace kestrova::testsupport {

const char* CamsimPath() { return KESTROVA_CAMSIM_EXE; }

SimProcess::SimProcess() {
  char tmpl[] = "/tmp/camsim-test-XXXXXX";
  char* d = mkdtemp(tmpl);
  dir_ = d ? d : "/tmp";
  config_path_ = dir_ + "/cams.conf";
  log_path_ = dir_ + "/camsim.log";
}

SimProcess::~SimProcess() {
  Stop();
  std::error_code ec;
  if (dir_ != "/tmp") std::filesystem::remove_all(dir_, ec);
}

void SimProcess::Rewrite(const std::string& config) {
  std::ofstream f(config_path_, std::ios::binary | std::ios::trunc);
  f << config;
}

bool SimProcess::Start(const std::string& config, const std::vector<std::string>& extra) {
  Rewrite(config);
  std::vector<std::string> args = {CamsimPath(), "--config", config_path_, "--bind", "127.0.0.1",
                                   "--log", log_path_, "--upload-dir", UploadDir()};
  for (int f : {2, 4, 5, 8, 9}) {
    args.push_back("--port");
    args.push_back("f" + std::to_string(f) + "=0");
  }
  args.insert(args.end(), extra.begin(), extra.end());
  return StartCommand(args);
}

bool SimProcess::StartCommand(const std::vector<std::string>& args) {
  if (!child_.Spawn(args)) return false;
  // One bound for the whole start, however many lines come before the ready line.
  Deadline deadline(kReadyBoundMs);
  bool ready = false;
  std::string line;
  for (;;) {
    int left = deadline.left_ms();
    if (left <= 0 || !child_.ReadLine(line, left)) break;
    unsigned fam = 0, port = 0;
    char ip[64];
    if (std::sscanf(line.c_str(), "camsim: udp f%u %63[^:]:%u", &fam, ip, &port) == 3)
      ports_[int(fam)] = uint16_t(port);
    char cam[64], svc[16];
    if (std::sscanf(line.c_str(), "camsim: tcp %63s %15s %63[^:]:%u", cam, svc, ip, &port) == 4)
      tcp_ports_[std::string(cam) + "/" + svc] = uint16_t(port);
    if (line == "camsim: ready") {
      ready = ports_.size() >= 4;  // 2, 5, 8, 9, and 4 when asked for
      break;
    }
    if (line.rfind("kestrova-camsim:", 0) == 0) break;
  }
  output = child_.Output();
  return ready;
}

int SimProcess::RunToEnd(const std::vector<std::string>& args) {
  std::vector<std::string> full = {CamsimPath()};
  full.insert(full.end(), args.begin(), args.end());
  int code = -1;
  if (child_.Spawn(full)) {
    auto st = child_.Wait(kReadyBoundMs);
    code = st ? ExitCode(*st) : -1;
    child_.Stop();
  }
  output = child_.Output();
  return code;
}

void SimProcess::Signal(int sig) { child_.Signal(sig); }

int SimProcess::Stop() {
  const int st = child_.Stop();
  output = child_.Output();
  return ExitCode(st);
}

std::string SimProcess::LogText() const {
  std::ifstream f(log_path_);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool WaitForLog(const SimProcess& sim, const std::string& text, int timeout_ms) {
  return WaitUntil([&] { return sim.LogText().find(text) != std::string::npos; }, timeout_ms);
}

}  // namespace kestrova::testsupport
