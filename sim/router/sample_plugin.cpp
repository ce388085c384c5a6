// sample.so: the router plug-in of the simulated router (kestrova-routersim). It reads and
// writes the router's forwarding table through the router's administration pages:
// GET /portforward.xml and POST /portforward.xml with the login as Basic authorization, on
// port 80 of the router's address (KESTROVA_SAMPLE_ROUTER_PORT replaces the port, for tests
// on loopback). The router speaks the PortForwards document itself, so the plug-in hands it
// through; it only turns the router's answers into the plug-in status codes:
//   0 done, 1 login refused (401), 2 not this router (no such page), 3 the router could not
//   be reached or read, 4 the router refused the data (400) or its answer does not fit,
//   7 a bad router address.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kBuffer = 102400;        // the host's buffer, NUL included
constexpr size_t kMaxReply = 1024 * 1024;  // more than any router page
constexpr int kConnectMs = 5000, kReadMs = 10000;

std::string Base64(const std::string& in) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned v = 0;
  int bits = 0;
  for (unsigned char c : in) {
    v = (v << 8) | c;
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      out += k[(v >> bits) & 63];
    }
  }
  if (bits) out += k[(v << (6 - bits)) & 63];
  while (out.size() % 4) out += '=';
  return out;
}

int Port() {
  const char* p = std::getenv("KESTROVA_SAMPLE_ROUTER_PORT");
  const int v = p ? std::atoi(p) : 80;
  return v > 0 && v < 65536 ? v : 80;
}

// One exchange; the HTTP status (0 when the router was not reached) and the body.
int Exchange(const char* address, const std::string& request, std::string& body) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(Port()));
  if (inet_pton(AF_INET, address, &sa.sin_addr) != 1) return -1;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return 0;
  int status = 0;
  std::string reply;
  do {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
      if (errno != EINPROGRESS) break;
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kConnectMs) != 1) break;
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) break;
    }
    size_t sent = 0;
    bool ok = true;
    while (ok && sent < request.size()) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kReadMs) != 1) ok = false;
      const ssize_t n = ok ? send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL) : -1;
      if (n < 0 && errno == EAGAIN) continue;
      if (n <= 0) ok = false;
      else sent += static_cast<size_t>(n);
    }
    if (!ok) break;
    char chunk[16384];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, kReadMs) != 1) break;
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) break;
      reply.append(chunk, static_cast<size_t>(n));
      if (reply.size() > kMaxReply) break;
    }
    const size_t end = reply.find("\r\n\r\n");
    if (reply.compare(0, 5, "HTTP/") != 0 || end == std::string::npos) break;
    const size_t sp = reply.find(' ');
    if (sp == std::string::npos || sp > end) break;
    status = std::atoi(reply.c_str() + sp + 1);
    body = reply.substr(end + 4);
  } while (false);
  close(fd);
  return status;
}

std::string Request(const char* method, const char* address, const char* user, const char* password,
                    const std::string& body) {
  std::string r = std::string(method) + " /portforward.xml HTTP/1.0\r\nHost: " + address +
                  "\r\nAuthorization: Basic " + Base64(std::string(user) + ":" + password) +
                  "\r\nConnection: close\r\n";
  if (!body.empty())
    r += "Content-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  return r + "\r\n" + body;
}

int32_t Call(const char* method, const char* address, const char* user, const char* password, char** text) {
  if (!address || !user || !password || !text || !*text) return 7;
  const std::string sent = std::strcmp(method, "POST") == 0 ? std::string(*text, strnlen(*text, kBuffer)) : "";
  std::string body;
  const int status = Exchange(address, Request(method, address, user, password, sent), body);
  if (status < 0) return 7;
  if (status == 401) return 1;
  if (status == 404) return 2;
  if (status == 400) return 4;
  if (status != 200) return 3;
  if (body.size() >= kBuffer || body.find('\0') != std::string::npos) return 4;
  std::memcpy(*text, body.data(), body.size());
  (*text)[body.size()] = 0;
  return 0;
}

}  // namespace

extern "C" {

int32_t GetPortForward(const char* address, const char* user, const char* password, char** text) {
  return Call("GET", address, user, password, text);
}

int32_t SetPortForward(const char* address, const char* user, const char* password, char** text) {
  return Call("POST", address, user, password, text);
}

uint64_t FileVersion(void) { return 0x0001000000000001ull; }  // 1.0.0.1
}
