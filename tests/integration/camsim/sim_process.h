// Runs kestrova-camsim on loopback for a test and talks to it over UDP.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace camsim_test {

using Bytes = std::vector<uint8_t>;

class SimProcess {
 public:
  SimProcess();
  ~SimProcess();
  // Writes `config` to a temporary file and starts the simulator on 127.0.0.1 with free ports.
  // Returns false when it did not report ready; `output` then holds what it printed.
  bool Start(const std::string& config, const std::vector<std::string>& extra = {});
  // Starts it with exactly these arguments (after the program name) and waits for it to end;
  // returns its exit status, with its standard output and error in `output`.
  int RunToEnd(const std::vector<std::string>& args);
  void Stop();
  void Signal(int sig);
  void Rewrite(const std::string& config);  // new text for the same configuration file
  uint16_t Port(int family) const { return ports_.at(family); }
  std::string LogText() const;
  const std::string& ConfigPath() const { return config_path_; }
  std::string output;

 private:
  bool ReadLine(std::string& line, int timeout_ms);
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string buffer_;
  std::string dir_, config_path_, log_path_;
  std::map<int, uint16_t> ports_;
};

// A UDP socket on 127.0.0.1 (any free port) standing in for the PC.
class Peer {
 public:
  Peer();
  ~Peer();
  void SendTo(uint16_t port, const Bytes& b);
  // The next datagram, or nothing after timeout_ms (only a failing test waits that long).
  std::optional<Bytes> Receive(int timeout_ms = 5000);
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Waits (bounded) until the simulator's log holds `text`; for ordering after a signal.
bool WaitForLog(const SimProcess& sim, const std::string& text, int timeout_ms = 5000);

}  // namespace camsim_test
