// A thin RAII wrapper around a POSIX IPv4 UDP socket, as the discovery and settings exchanges
// use it: bind to a given or the first free port, broadcast, send to address:port, receive one
// datagram without blocking (or with an explicit wait), and fd() for poll()/QSocketNotifier.
// Nothing here throws; every operation returns a status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova {

// The size of the receive buffer the discovery sockets use: a longer datagram is discarded.
inline constexpr std::size_t kUdpReceiveLimit = 1024;

// Parses dotted-decimal IPv4 text (inet_pton rules) into a network-order address.
std::optional<uint32_t> ParseIPv4NetOrder(const std::string& text);
// Network-order address to dotted decimal.
std::string FormatIPv4NetOrder(uint32_t networkOrder);

struct UdpDatagram {
  std::vector<uint8_t> data;  // the bytes received (at most the limit given to Receive)
  std::string fromIp;         // sender, dotted decimal
  uint16_t fromPort = 0;
  bool oversized = false;     // the datagram was longer than the limit; data holds only its start
};

enum class WaitResult { Readable, Timeout, Error };

// Starts the system's socket layer once per process (Windows Sockets 2.2 on Windows; nothing
// to do elsewhere). False when sockets cannot be used at all. Every socket here calls it.
bool StartSockets();

// Waits at most timeoutMs for any of the descriptors (sockets of this module, WakePipe::fd()) to
// become readable. Readable when one is, Timeout, or Error (also for an empty list).
WaitResult WaitAnyReadable(std::span<const int> fds, int timeoutMs);

class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(UdpSocket&& other) noexcept;
  UdpSocket& operator=(UdpSocket&& other) noexcept;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Creates the socket (non-blocking, close-on-exec). Closes a socket held before.
  bool Open();
  // Binds to localAddr:port ("" or "0.0.0.0" = every local address; port 0 = any free port).
  // Opens the socket first when needed. No SO_REUSEADDR: a port in use makes the bind fail.
  bool Bind(uint16_t port, const std::string& localAddr = "");
  // Binds to the first port at or above `first` (first, first+1, ... first+range-1, never past
  // 65535) that can be bound. On failure the socket is closed (inactive) and false returned.
  bool BindFreePort(uint16_t first, const std::string& localAddr = "", int range = 1000);
  bool SetBroadcast(bool on);
  // Asks the kernel for a receive buffer of at least `bytes` (best effort: past the system's
  // cap only with CAP_NET_ADMIN).
  bool SetReceiveBuffer(int bytes);
  // The receive buffer the kernel granted (Linux reports twice the usable size); 0 when closed.
  int ReceiveBufferSize() const;

  // Sends one datagram to addr:port; true when the whole datagram was handed to the kernel.
  bool SendTo(const std::string& addr, uint16_t port, std::span<const uint8_t> data);
  bool SendTo(const std::string& addr, uint16_t port, const std::string& text);
  // Sends one datagram out of the adapter with interface index ifindex, from its address
  // source (dotted decimal; "" lets the kernel pick one of that adapter), whatever the routing
  // table says: a limited broadcast leaves through that adapter even without a route for it.
  // The source port stays the socket's own. False when the adapter is gone (or down) or the
  // datagram was not handed over whole.
  bool SendToVia(int ifindex, const std::string& source, const std::string& addr, uint16_t port,
                 std::span<const uint8_t> data);

  // Takes one datagram if one is waiting (never blocks). std::nullopt when none is waiting or
  // on an error. A datagram longer than `limit` is still taken off the queue, with `oversized`
  // set; callers that follow the 1024-byte buffer rule drop it.
  std::optional<UdpDatagram> Receive(std::size_t limit = kUdpReceiveLimit);
  // Waits at most timeoutMs for the socket to become readable.
  WaitResult WaitReadable(int timeoutMs) const;

  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // The bound local port (0 when not bound).
  uint16_t LocalPort() const;

 private:
  int fd_ = -1;
};

// A self-pipe (on Windows a loopback UDP socket sending to itself) that another thread writes to so that the owner's poll loop (or a
// QSocketNotifier on fd()) wakes up. Signal() is safe from any thread; Drain() on the owner's.
class WakePipe {
 public:
  WakePipe();
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;
  bool Ok() const { return rd_ >= 0; }
  int fd() const { return rd_; }
  void Signal();
  void Drain();

 private:
  int rd_ = -1;
  int wr_ = -1;
};

}  // namespace kestrova
