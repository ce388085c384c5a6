// A router plug-in for the window's tests: the router is a folder (KESTROVA_TEST_ROUTER) whose
// files the test writes and reads.
//   table.xml    the router's table as GetPortForward answers it (missing: an empty table);
//                SetPortForward stores the request there when it succeeds
//   get_status, set_status   the status each export returns (missing: 0)
//   set_answer   answered by SetPortForward instead of the echo of the request
//   delay_ms     how long each call takes
//   calls.log    one line per call: export|address|user|password
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Folder() {
  const char* f = std::getenv("KESTROVA_TEST_ROUTER");
  return f ? f : ".";
}

bool Read(const std::string& name, std::string& out) {
  std::ifstream in(Folder() + "/" + name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

int Number(const std::string& name) {
  std::string v;
  return Read(name, v) ? std::atoi(v.c_str()) : 0;
}

void Answer(char** text, const std::string& s) {
  const size_t n = s.size() < 102399 ? s.size() : 102399;
  std::memcpy(*text, s.data(), n);
  (*text)[n] = 0;
}

void Log(const char* which, const char* address, const char* user, const char* password) {
  std::ofstream(Folder() + "/calls.log", std::ios::app) << which << '|' << address << '|' << user << '|' << password
                                                         << '\n';
  if (const int ms = Number("delay_ms")) ::usleep(static_cast<useconds_t>(ms) * 1000);
}

}  // namespace

extern "C" {

int32_t GetPortForward(const char* address, const char* user, const char* password, char** text) {
  Log("GetPortForward", address, user, password);
  std::string table;
  if (!Read("table.xml", table)) table = "<?xml version=\"1.0\"?><PortForwards Count=\"0\" MaxCount=\"32\"/>";
  Answer(text, table);
  return Number("get_status");
}

int32_t SetPortForward(const char* address, const char* user, const char* password, char** text) {
  Log("SetPortForward", address, user, password);
  const std::string request = *text;
  const int status = Number("set_status");
  std::string answer;
  if (Read("set_answer", answer)) {
    Answer(text, answer);
    return status;
  }
  if (status == 0) std::ofstream(Folder() + "/table.xml", std::ios::binary) << request;
  return status;  // the request stays in the buffer as the answer
}

uint64_t FileVersion(void) { return 0x0001000000000009ull; }
}
