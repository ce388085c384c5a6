// Runs kestrova-camsim for a test: on loopback with free ports, or exactly as a given command
// line (inside a namespace of the virtual LAN), with bounded waits for its ready line, its end
// and its log.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace kestrova::testsupport {

class SimProcess {
 public:
  // Longest wait for "camsim: ready" (and for a simulator that only checks its arguments).
  static constexpr int kReadyBoundMs = 20000;

  SimProcess();
  ~SimProcess();  // Stop(), and the temporary folder goes
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Writes `config` to a temporary file and starts the simulator on 127.0.0.1 with free ports.
  // Returns false when it did not report ready; `output` then holds what it printed.
  bool Start(const std::string& config, const std::vector<std::string>& extra = {});
  // Starts it with exactly these arguments (after the program name) and waits for it to end;
  // returns its exit status (-1 when it had to be stopped), with what it printed in `output`.
  int RunToEnd(const std::vector<std::string>& args);
  // Starts exactly this command line (e.g. the simulator inside a namespace) and waits for it
  // to report ready. The simulator's own log is LogPath(); pass it with --log.
  bool StartCommand(const std::vector<std::string>& argv);
  // SIGTERM, then SIGKILL if it has not ended after a grace period; always returns. Its exit
  // code: 0 when it ended cleanly on the SIGTERM, -1 when it had to be killed or never ran.
  int Stop();
  void Signal(int sig);
  void Rewrite(const std::string& config);  // new text for the same configuration file
  uint16_t Port(int family) const { return ports_.at(family); }
  // TCP port of a camera's server ("web", "ctp" or "upload"); 0 when it has none.
  uint16_t TcpPort(const std::string& camera, const std::string& service) const {
    auto it = tcp_ports_.find(camera + "/" + service);
    return it == tcp_ports_.end() ? 0 : it->second;
  }
  std::string LogPath() const { return log_path_; }
  std::string UploadDir() const { return dir_ + "/uploads"; }
  std::string LogText() const;
  const std::string& ConfigPath() const { return config_path_; }
  // What the simulator printed, as of the last Start, StartCommand, RunToEnd or Stop.
  std::string output;

 private:
  ChildProcess child_;
  std::string dir_, config_path_, log_path_;
  std::map<int, uint16_t> ports_;
  std::map<std::string, uint16_t> tcp_ports_;
};

// The simulator's program (built with the tests).
const char* CamsimPath();

// Waits (bounded) until the simulator's log holds `text`; for ordering after a signal.
bool WaitForLog(const SimProcess& sim, const std::string& text, int timeout_ms = 5000);

}  // namespace kestrova::testsupport
