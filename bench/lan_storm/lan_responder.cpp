#include "lan_responder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace lanstorm {

namespace {

// ---- byte helpers ---------------------------------------------------------------------------

void PutText(Bytes& b, size_t off, size_t width, const std::string& t) {
  // Zero-terminated inside the field (the field was zero-filled), cut to width - 1.
  const size_t n = std::min(t.size(), width - 1);
  std::memcpy(b.data() + off, t.data(), n);
}
void PutLe16(Bytes& b, size_t off, uint16_t v) {
  b[off] = uint8_t(v);
  b[off + 1] = uint8_t(v >> 8);
}
void PutBe16(Bytes& b, size_t off, uint16_t v) {
  b[off] = uint8_t(v >> 8);
  b[off + 1] = uint8_t(v);
}
void PutLe32(Bytes& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}
// Dotted text to four bytes in written order (the texts here are always well formed).
void PutQuad(Bytes& b, size_t off, const std::string& dotted) {
  unsigned a = 0, c = 0, d = 0, e = 0;
  std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &c, &d, &e);
  b[off] = uint8_t(a);
  b[off + 1] = uint8_t(c);
  b[off + 2] = uint8_t(d);
  b[off + 3] = uint8_t(e);
}
std::string Hex(const uint8_t* p, size_t n, bool upper, const char* sep) {
  static const char* lo = "0123456789abcdef";
  static const char* up = "0123456789ABCDEF";
  const char* digits = upper ? up : lo;
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (i && sep) s += sep;
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}
uint64_t MacKey(const uint8_t* p) {
  uint64_t k = 0;
  for (int i = 0; i < 6; ++i) k = (k << 8) | p[i];
  return k;
}

// ---- family 8 ------------------------------------------------------------------------------
constexpr size_t kBlock = 128;

Bytes F8Header(uint8_t c0, uint8_t c1, uint16_t word, size_t total) {
  Bytes b(total, 0);
  b[0] = 0x10;
  b[1] = 0x10;
  b[2] = c0;
  b[3] = c1;
  PutLe16(b, 4, word);
  PutLe16(b, 6, uint16_t(total - 8));
  return b;
}

// The camera's 128-byte network block, written at `off`.
void PutF8Block(Bytes& b, size_t off, const LanCamera& c) {
  PutText(b, off + 0, 16, c.ip);
  PutText(b, off + 16, 16, c.mask);
  PutText(b, off + 32, 16, c.gateway);
  PutText(b, off + 48, 16, c.dns1);
  PutText(b, off + 64, 16, c.dns2);
  PutLe16(b, off + 80, c.httpPort);
  PutLe16(b, off + 82, c.httpPort);
  PutLe16(b, off + 84, c.httpPort);
  PutLe16(b, off + 86, c.dataPort);
  std::memcpy(b.data() + off + 88, c.mac.data(), 6);
  PutLe16(b, off + 94, 0x0101);
  // Serial number: 7 bytes, here the MAC and a trailing 0x5A.
  std::memcpy(b.data() + off + 96, c.mac.data(), 6);
  b[off + 102] = 0x5A;
  b[off + 103] = c.dhcp ? 1 : 0;
  PutText(b, off + 104, 24, c.name);
}

}  // namespace

// ---- the cameras -----------------------------------------------------------------------------

LanCamera MakeCamera(int i, int onlyFamily) {
  static const int kFamilies[] = {2, 5, 8, 9};
  LanCamera c;
  c.family = onlyFamily ? onlyFamily : kFamilies[i % 4];
  c.mac = {0x02, 0x4B, 0x53, uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)};
  c.ip = "10.77." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
  c.mask = "255.255.0.0";
  c.gateway = "10.77.0.1";
  c.dns1 = "10.77.0.1";
  c.dns2 = "10.77.0.2";
  char name[16];
  std::snprintf(name, sizeof name, "cam-%04d", i);
  c.name = name;
  c.sn = "SN" + std::to_string(100000 + i);
  c.version = "2.4.1." + std::to_string(i % 10);
  c.ddnsServer = "ddns.lan.test:8080";
  c.ddnsUser = "cam" + std::to_string(i);
  c.ddnsPwd = "pw" + std::to_string(i);
  c.httpPort = i % 3 ? 80 : 8080;
  c.dataPort = 8000;
  c.word = uint16_t(0x5A00 | (i & 0xFF));
  c.dhcp = i % 2;
  return c;
}

std::string ExpectedMacText(const LanCamera& c) {
  switch (c.family) {
    case 2: return Hex(c.mac.data(), 6, true, nullptr);   // the identity text as sent
    case 5: return Hex(c.mac.data(), 6, true, nullptr);   // "-mac" value without the ':'
    case 8: return Hex(c.mac.data(), 6, false, nullptr);  // 12 lower-case digits
    case 9: return Hex(c.mac.data(), 6, true, ":");       // upper-case pairs joined by ':'
  }
  return {};
}

Bytes Family2SearchReply(const LanCamera& c) {
  // 23-byte header: "MO_I", opcode 1 (LE), nine bytes, body length 195 (LE), four bytes.
  Bytes b(23 + 195, 0);
  std::memcpy(b.data(), "MO_I", 4);
  PutLe16(b, 4, 1);
  PutLe32(b, 15, 195);
  PutText(b, 23, 13, Hex(c.mac.data(), 6, true, nullptr));
  PutText(b, 36, 21, c.name);
  PutQuad(b, 57, c.ip);
  PutQuad(b, 61, c.mask);
  PutQuad(b, 65, c.gateway);
  PutQuad(b, 69, c.dns1);
  const uint8_t v1[4] = {2, 4, 1, 7}, v2[4] = {1, 0, 0, uint8_t(c.mac[5] % 10)};
  std::memcpy(b.data() + 77, v1, 4);
  std::memcpy(b.data() + 81, v2, 4);
  PutBe16(b, 85, c.httpPort);
  b[87] = c.dhcp ? 1 : 0;
  PutText(b, 88, 65, c.ddnsServer);
  PutText(b, 153, 65, c.ddnsUser);
  return b;
}

Bytes Family5SearchReply(const LanCamera& c) {
  std::string body;
  auto line = [&](const char* key, const std::string& v) { body += std::string(key) + " " + v + "\r\n"; };
  line("-sn", c.sn);
  line("-name", c.name);
  line("-ip", c.ip);
  line("-netmask", c.mask);
  line("-portctp", std::to_string(c.httpPort));
  line("-mdns", c.dns1);
  line("-sdns", c.dns2);
  line("-mac", Hex(c.mac.data(), 6, true, ":"));
  line("-gw", c.gateway);
  line("-ddns", c.ddnsServer);  // before "-ddnsuser": the first line starting "-ddns" is read
  line("-ddnsuser", c.ddnsUser);
  line("-ddnspswd", c.ddnsPwd);
  line("-version", c.version);
  body += "\r\n";
  const std::string t = "REPLY * CTP/1.0\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body;
  return Bytes(t.begin(), t.end());
}

Bytes Family8SearchAnswer(const LanCamera& c) {
  Bytes b = F8Header(0x01, 0x8F, c.word, 12 + kBlock);
  PutF8Block(b, 12, c);
  return b;
}

Bytes Family8InfoReply(const LanCamera& c, uint16_t word) {
  Bytes b = F8Header(0x12, 0x8F, word, 8 + kBlock + 32);
  PutF8Block(b, 8, c);
  PutText(b, 136, 32, c.version);
  return b;
}

Bytes Family8DdnsReply(const LanCamera& c, uint16_t word) {
  Bytes b = F8Header(0x0F, 0x8F, word, 400);
  PutF8Block(b, 8, c);
  PutText(b, 142, 130, c.ddnsServer);
  PutText(b, 272, 64, c.ddnsUser);
  PutText(b, 336, 64, c.ddnsPwd);
  return b;
}

Bytes Family9SearchAnswer(const LanCamera& c) {
  Bytes b(516, 0);
  b[0] = 0x44;
  b[1] = 0x48;
  b[2] = 0x01;
  b[3] = 0x08;
  PutText(b, 4, 16, c.ip);
  PutText(b, 20, 16, c.mask);
  PutText(b, 36, 16, c.gateway);
  PutText(b, 52, 16, c.dns1);
  PutText(b, 68, 16, c.dns2);
  std::memcpy(b.data() + 84, c.mac.data(), 6);
  PutLe16(b, 90, c.httpPort);
  PutText(b, 92, 32, c.sn);
  PutText(b, 124, 80, c.name);
  PutText(b, 204, 32, c.version);
  PutText(b, 236, 32, "admin");
  PutText(b, 268, 32, "admin");
  b[301] = c.dhcp ? 1 : 0;
  PutText(b, 324, 64, c.ddnsServer);
  PutText(b, 388, 64, c.ddnsUser + ".lan.test");
  PutText(b, 452, 32, c.ddnsUser);
  PutText(b, 484, 32, c.ddnsPwd);
  return b;
}

// ---- the responder ---------------------------------------------------------------------------

struct LanResponder::Counters {
  std::atomic<uint64_t> f2Searches{0}, f5Searches{0}, f8Searches{0}, f9Searches{0};
  std::atomic<uint64_t> f8InfoRequests{0}, f8DdnsRequests{0}, f8UnknownBlock{0}, ignored{0};
  std::atomic<uint64_t> f2Replies{0}, f5Replies{0}, f8Answers{0}, f8InfoReplies{0},
      f8DdnsReplies{0}, f9Answers{0}, sendErrors{0};
  std::atomic<uint64_t> cpuUs{0};
};

uint16_t FreeLoopbackUdpPort() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0)
    port = ntohs(sa.sin_port);
  ::close(fd);
  return port;
}

LanResponder::LanResponder(int cameras, int onlyFamily, int rcvbufBytes) : rcvbuf_(rcvbufBytes) {
  fds_.fill(-1);
  for (int i = 0; i < cameras; ++i) {
    cameras_.push_back(MakeCamera(i, onlyFamily));
    const LanCamera& c = cameras_.back();
    byFamily_[c.family].push_back(i);
    byMac_[MacKey(c.mac.data())] = i;
    switch (c.family) {
      case 2: searchReplies_[2].push_back(Family2SearchReply(c)); break;
      case 5: searchReplies_[5].push_back(Family5SearchReply(c)); break;
      case 8: searchReplies_[8].push_back(Family8SearchAnswer(c)); break;
      case 9: searchReplies_[9].push_back(Family9SearchAnswer(c)); break;
    }
  }
}

LanResponder::~LanResponder() { Stop(); }

int LanResponder::CamerasOf(int family) const {
  return family >= 0 && family < 10 ? int(byFamily_[family].size()) : 0;
}

bool LanResponder::Start() {
  for (int p = 0; p < int(Port::Count); ++p) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, any free port
    socklen_t len = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
      ::close(fd);
      return false;
    }
    if (rcvbuf_ > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf_, sizeof rcvbuf_);
    int sndbuf = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    fds_[p] = fd;
    ports_[p] = ntohs(sa.sin_port);
  }
  if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  const std::vector<std::vector<Port>> plan = {
      {Port::Family2, Port::Uicam, Port::Sq610}, {Port::Family5}, {Port::Family8}, {Port::Family9}};
  for (size_t t = 0; t < plan.size(); ++t) {
    counters_.push_back(std::make_unique<Counters>());
    threads_.emplace_back([this, t, ports = plan[t]] { Run(int(t), ports); });
  }
  return true;
}

void LanResponder::Stop() {
  if (stopPipe_[1] >= 0) {
    const char x = 1;
    (void)!::write(stopPipe_[1], &x, 1);
  }
  for (auto& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
  for (int& fd : fds_)
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
  for (int& fd : stopPipe_)
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
}

void LanResponder::Run(int thread, std::vector<Port> ports) {
  Counters& c = *counters_[thread];
  std::vector<pollfd> pf;
  for (Port p : ports) pf.push_back(pollfd{fds_[int(p)], POLLIN, 0});
  pf.push_back(pollfd{stopPipe_[0], POLLIN, 0});
  uint8_t buf[2048];
  for (;;) {
    int r = ::poll(pf.data(), pf.size(), -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || (pf.back().revents & POLLIN)) break;
    for (size_t i = 0; i + 1 < pf.size(); ++i) {
      if (!(pf[i].revents & POLLIN)) continue;
      for (;;) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t n = ::recvfrom(pf[i].fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) break;
        Handle(ports[i], pf[i].fd, buf, size_t(n), &from, fromLen, c);
      }
    }
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    c.cpuUs = uint64_t(ts.tv_sec) * 1000000 + uint64_t(ts.tv_nsec) / 1000;
  }
}

void LanResponder::Handle(Port p, int fd, const uint8_t* d, size_t n, const void* from,
                          unsigned fromLen, Counters& c) {
  auto send = [&](const Bytes& b, std::atomic<uint64_t>& sent) {
    if (::sendto(fd, b.data(), b.size(), 0, static_cast<const sockaddr*>(from), fromLen) == ssize_t(b.size()))
      ++sent;
    else
      ++c.sendErrors;
  };
  auto sendAll = [&](int family, std::atomic<uint64_t>& sent) {
    if (replyDelayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(replyDelayMs_));
    const auto& all = searchReplies_[family];
    const auto start = std::chrono::steady_clock::now();
    for (size_t k = 0; k < all.size(); ++k) {
      if (replySpreadMs_ > 0 && k % 8 == 0)
        std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(replySpreadMs_) * 1000 * int64_t(k) /
                                                                        int64_t(all.size())));
      send(all[k], sent);
    }
  };
  switch (p) {
    case Port::Family2:
      // The family-2 search is "MO_I" with opcode 0; "IMAGIAQUERY,0" arrives here too.
      if (n >= 23 && std::memcmp(d, "MO_I", 4) == 0 && d[4] == 0 && d[5] == 0) {
        ++c.f2Searches;
        sendAll(2, c.f2Replies);
      } else {
        ++c.ignored;
      }
      break;
    case Port::Family5:
      if (n >= 6 && std::memcmp(d, "SEARCH", 6) == 0) {
        ++c.f5Searches;
        sendAll(5, c.f5Replies);
      } else {
        ++c.ignored;
      }
      break;
    case Port::Family8: {
      if (n < 8 || d[0] != 0x10 || d[1] != 0x10) {
        ++c.ignored;
        break;
      }
      if (d[2] == 0x01 && d[3] == 0x0F) {
        ++c.f8Searches;
        sendAll(8, c.f8Answers);
        break;
      }
      const bool info = d[2] == 0x12 && d[3] == 0x0F, ddns = d[2] == 0x0F && d[3] == 0x0F;
      if (!info && !ddns) {
        ++c.ignored;
        break;
      }
      ++(info ? c.f8InfoRequests : c.f8DdnsRequests);
      // Only the camera whose block the request carries answers (its MAC at 8 + 88).
      auto it = n >= 8 + kBlock ? byMac_.find(MacKey(d + 96)) : byMac_.end();
      if (it == byMac_.end() || cameras_[it->second].family != 8) {
        ++c.f8UnknownBlock;
        break;
      }
      const uint16_t word = uint16_t(d[4] | (d[5] << 8));
      const LanCamera& cam = cameras_[it->second];
      if (info)
        send(Family8InfoReply(cam, word), c.f8InfoReplies);
      else
        send(Family8DdnsReply(cam, word), c.f8DdnsReplies);
      break;
    }
    case Port::Family9:
      if (n >= 4 && d[0] == 0x44 && d[1] == 0x48 && d[2] == 0x01 && d[3] == 0x01) {
        ++c.f9Searches;
        sendAll(9, c.f9Answers);
      } else {
        ++c.ignored;
      }
      break;
    default:
      ++c.ignored;
      break;
  }
}

ResponderCounts LanResponder::Counts() const {
  ResponderCounts r;
  for (const auto& c : counters_) {
    r.f2Searches += c->f2Searches;
    r.f5Searches += c->f5Searches;
    r.f8Searches += c->f8Searches;
    r.f9Searches += c->f9Searches;
    r.f8InfoRequests += c->f8InfoRequests;
    r.f8DdnsRequests += c->f8DdnsRequests;
    r.f8UnknownBlock += c->f8UnknownBlock;
    r.ignored += c->ignored;
    r.f2Replies += c->f2Replies;
    r.f5Replies += c->f5Replies;
    r.f8Answers += c->f8Answers;
    r.f8InfoReplies += c->f8InfoReplies;
    r.f8DdnsReplies += c->f8DdnsReplies;
    r.f9Answers += c->f9Answers;
    r.sendErrors += c->sendErrors;
    r.cpuUs += c->cpuUs;
  }
  return r;
}

void LanResponder::ResetCounts() {
  for (auto& c : counters_) {
    for (auto* a : {&c->f2Searches, &c->f5Searches, &c->f8Searches, &c->f9Searches, &c->f8InfoRequests,
                    &c->f8DdnsRequests, &c->f8UnknownBlock, &c->ignored, &c->f2Replies, &c->f5Replies,
                    &c->f8Answers, &c->f8InfoReplies, &c->f8DdnsReplies, &c->f9Answers, &c->sendErrors})
      a->store(0);
  }
}

}  // namespace lanstorm
