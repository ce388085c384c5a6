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
  // Starts exactly this command line (e.g. the simulator inside a namespace) and waits for it
  // to report ready. The simulator's own log is LogPath(); pass it with --log.
  bool StartCommand(const std::vector<std::string>& argv);
  std::string LogPath() const { return log_path_; }
  void Stop();
  void Signal(int sig);
  void Rewrite(const std::string& config);  // new text for the same configuration file
  uint16_t Port(int family) const { return ports_.at(family); }
  // TCP port of a camera's server ("web", "ctp" or "upload"); 0 when it has none.
  uint16_t TcpPort(const std::string& camera, const std::string& service) const {
    auto it = tcp_ports_.find(camera + "/" + service);
    return it == tcp_ports_.end() ? 0 : it->second;
  }
  std::string UploadDir() const { return dir_ + "/uploads"; }
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
  std::map<std::string, uint16_t> tcp_ports_;
};

// One HTTP exchange on loopback, written by hand: GET or POST `target`, optional extra header
// lines (each ending in CR LF) and body. Reads until the server closes.
struct HttpReply {
  int status = 0;
  std::string headers, body;
  bool ok = false;  // a reply arrived
};
HttpReply HttpExchange(uint16_t port, const std::string& method, const std::string& target,
                       const std::string& extraHeaders = "", const std::string& body = "");

// A TCP connection on loopback for CTP.
class TcpConn {
 public:
  explicit TcpConn(uint16_t port);
  ~TcpConn();
  bool connected() const { return fd_ >= 0; }
  void Send(const std::string& s);
  // Reads until `complete` says the text is whole, the peer closes, or timeout_ms pass.
  std::string ReadReply(int timeout_ms = 5000);
  // True when the peer closed the connection (reads until then, bounded).
  bool WaitClosed(int timeout_ms = 5000);
  // One line, with its CR LF; what arrived after it is kept for the next call.
  std::string ReadLine(int timeout_ms = 5000);

 private:
  int fd_ = -1;
  std::string pending_;
};

// True when a TCP connection to the port is refused right now.
bool ConnectRefused(uint16_t port);

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
