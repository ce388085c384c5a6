// Non-blocking IPv4 TCP primitives for the exchanges that keep their own time-outs (CTP): a
// connect that is not awaited, a bounded wait for one direction, and send/receive that report
// "would block" apart from errors. The descriptor is an int on every platform.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace kestrova {

// Starts a non-blocking connect to ip:port (dotted IPv4 only). -1 when ip is not dotted
// decimal, port is outside 0..65535 or no socket could be made.
int TcpConnectStart(const std::string& ip, int port);
void TcpClose(int fd);
// Waits at most timeout for fd to become readable (or writable); true also for an error or
// hang-up condition, which the following call then reports.
bool TcpWait(int fd, bool forWrite, std::chrono::milliseconds timeout);

inline constexpr long kTcpWouldBlock = -1;  // nothing to read / no room now (or interrupted)
inline constexpr long kTcpError = -2;
// Bytes sent, kTcpWouldBlock or kTcpError. Never raises SIGPIPE.
long TcpSend(int fd, const char* data, std::size_t size);
// Bytes received (> 0), 0 when the peer closed, kTcpWouldBlock or kTcpError.
long TcpRecv(int fd, char* data, std::size_t size);

}  // namespace kestrova
