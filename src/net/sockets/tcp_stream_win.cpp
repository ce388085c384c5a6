// The TCP primitives on Windows Sockets 2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

#include "net/sockets/tcp_stream.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

namespace {

SOCKET S(int fd) { return static_cast<SOCKET>(fd); }

int Clamp(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

}  // namespace

int TcpConnectStart(const std::string& ip, int port) {
  in_addr addr{};
  if (port < 0 || port > 65535 || !StartSockets() || ::inet_pton(AF_INET, ip.c_str(), &addr) != 1) return -1;
  SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return -1;
  u_long nb = 1;
  if (s > SOCKET(0x7fffffff) || ::ioctlsocket(s, FIONBIO, &nb) != 0) {
    ::closesocket(s);
    return -1;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<u_short>(port));
  peer.sin_addr = addr;
  // Not awaited here (WSAEWOULDBLOCK): the first send waits for the socket to become writable.
  (void)::connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  return static_cast<int>(s);
}

void TcpClose(int fd) {
  if (fd >= 0) ::closesocket(S(fd));
}

bool TcpWait(int fd, bool forWrite, std::chrono::milliseconds timeout) {
  WSAPOLLFD p{S(fd), static_cast<SHORT>(forWrite ? POLLWRNORM : POLLRDNORM), 0};
  const long long ms = timeout.count() < 0 ? 0 : timeout.count();
  return ::WSAPoll(&p, 1, ms > INT_MAX ? INT_MAX : static_cast<INT>(ms)) > 0;
}

long TcpSend(int fd, const char* data, std::size_t size) {
  const int n = ::send(S(fd), data, Clamp(size), 0);
  if (n >= 0) return n;
  const int e = ::WSAGetLastError();
  return (e == WSAEWOULDBLOCK || e == WSAEINTR) ? kTcpWouldBlock : kTcpError;
}

long TcpRecv(int fd, char* data, std::size_t size) {
  const int n = ::recv(S(fd), data, Clamp(size), 0);
  if (n >= 0) return n;
  const int e = ::WSAGetLastError();
  return (e == WSAEWOULDBLOCK || e == WSAEINTR) ? kTcpWouldBlock : kTcpError;
}

}  // namespace kestrova
