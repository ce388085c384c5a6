// Hand-written TCP clients for tests against the simulated cameras: one HTTP exchange, and a
// connection for CTP. Every read has a deadline.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova::testsupport {

// One HTTP exchange: GET or POST `target`, optional extra header lines (each ending in CR LF)
// and body. Reads until the server closes, at most timeout_ms in all.
struct HttpReply {
  int status = 0;
  std::string headers, body;
  bool ok = false;  // a reply arrived
};
HttpReply HttpExchange(const std::string& ip, uint16_t port, const std::string& method, const std::string& target,
                       const std::string& extraHeaders = "", const std::string& body = "", int timeout_ms = 10000);
// The same on 127.0.0.1.
inline HttpReply HttpExchange(uint16_t port, const std::string& method, const std::string& target,
                              const std::string& extraHeaders = "", const std::string& body = "") {
  return HttpExchange("127.0.0.1", port, method, target, extraHeaders, body);
}

// A TCP connection on loopback for CTP.
class TcpConn {
 public:
  explicit TcpConn(uint16_t port);
  ~TcpConn();
  TcpConn(const TcpConn&) = delete;
  TcpConn& operator=(const TcpConn&) = delete;
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

// True when a TCP connection to the port on loopback is refused right now.
bool ConnectRefused(uint16_t port);

}  // namespace kestrova::testsupport
