// The stand-in for the closed SDK library of family 4 (libDVSNETClient.so): the four exports
// the assistant calls, speaking the small protocol of README.md with kestrova-camsim's
// family-4 cameras. A search runs on the library's own thread, which reports every camera once
// per search through the caller's callback; the configuration call waits for the camera's
// answer. Written as a vendor's client library would be, sharing no code with the assistant.
//
// Where it sends: the limited broadcast 255.255.255.255 at port 9750, or the address in
// KESTROVA_SDK_SERVER ("A.B.C.D" or "A.B.C.D:PORT", loopback tests). On the host network
// (outside the virtual LAN) it refuses to send anywhere but to 127.0.0.0/8.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "client_wire.h"
#include "host_network.h"

#define DVSNET_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
typedef void (*DVSNET_SEARCH_CALLBACK)(int32_t index, const char* name, const char* model, const char* ip,
                                       const uint8_t* mac, int32_t httpPort, int32_t dataPort, const char* netMask,
                                       const char* gateway, const char* auxAddr, const char* dns, uint16_t auxPort,
                                       int32_t flags, int32_t dhcp, void* context);
}

namespace kestrova::sdksim {
namespace {

// Return values.
constexpr int32_t kOk = 0;
constexpr int32_t kBadArgument = -1;
constexpr int32_t kRefused = -2;   // would leave loopback on the host network
constexpr int32_t kNetError = -3;
constexpr int32_t kNoAnswer = -4;

constexpr int kMaxWaitMs = 60000;
constexpr int kConfigWaitMs = 2000;

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

struct Target {
  sockaddr_in to{};
  bool loopback = false;
};

// Where the requests go, or nothing (after a line on standard error) when they may not go there.
std::optional<Target> ResolveTarget() {
  Target t;
  t.to.sin_family = AF_INET;
  t.to.sin_port = htons(kServicePort);
  t.to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  if (const char* v = std::getenv("KESTROVA_SDK_SERVER"); v && *v) {
    std::string s = v;
    const auto colon = s.find(':');
    if (colon != std::string::npos) {
      char* end = nullptr;
      const long port = std::strtol(s.c_str() + colon + 1, &end, 10);
      if (!end || *end || port <= 0 || port > 65535) {
        std::fprintf(stderr, "libDVSNETClient: KESTROVA_SDK_SERVER: bad port\n");
        return std::nullopt;
      }
      t.to.sin_port = htons(uint16_t(port));
      s.resize(colon);
    }
    if (inet_pton(AF_INET, s.c_str(), &t.to.sin_addr) != 1) {
      std::fprintf(stderr, "libDVSNETClient: KESTROVA_SDK_SERVER: not an IPv4 address\n");
      return std::nullopt;
    }
  }
  t.loopback = (ntohl(t.to.sin_addr.s_addr) >> 24) == 127;
  if (!t.loopback && camsim::OnHostNetwork()) {
    std::fprintf(stderr,
                 "libDVSNETClient: refusing to search the host network; run inside the virtual LAN "
                 "or set KESTROVA_SDK_SERVER to a loopback address\n");
    return std::nullopt;
  }
  return t;
}

// A non-blocking UDP socket on an ephemeral port, broadcast allowed; -1 on failure.
int OpenSocket(const Target& t) {
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  const int one = 1;
  setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(t.loopback ? INADDR_LOOPBACK : INADDR_ANY);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(s);
    return -1;
  }
  return s;
}

bool SendTo(int s, const Target& t, const Bytes& b) {
  return sendto(s, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&t.to), sizeof t.to) ==
         ssize_t(b.size());
}

// The search: one at a time; a new search while one runs asks again and runs on.
struct Search {
  std::mutex api;  // one exported call at a time (never held during a callback)
  std::mutex m;    // the fields below
  std::thread thread;
  bool running = false;
  bool stop = false;
  int sock = -1;
  Target target;
  DVSNET_SEARCH_CALLBACK callback = nullptr;
  void* context = nullptr;
  long long deadline = 0;
  uint16_t seq = 0;
  std::set<std::array<uint8_t, 6>> reported;  // per search: every camera once
};

Search& State() {
  static Search* s = new Search;  // outlives the exit of a thread that is still winding down
  return *s;
}

uint16_t NextSeq() {
  static std::mutex m;
  static uint16_t seq = uint16_t(NowMs());
  std::lock_guard lock(m);
  return ++seq;
}

void RunSearch() {
  Search& st = State();
  uint8_t buf[2048];
  for (;;) {
    int sock;
    int wait;
    {
      std::lock_guard lock(st.m);
      const long long now = NowMs();
      if (st.stop || now >= st.deadline) {
        close(st.sock);
        st.sock = -1;
        st.running = false;
        return;
      }
      sock = st.sock;
      wait = int(std::min<long long>(st.deadline - now, 50));
    }
    pollfd p{sock, POLLIN, 0};
    if (poll(&p, 1, wait) <= 0) continue;
    for (int i = 0; i < 64; ++i) {
      const ssize_t n = recv(sock, buf, sizeof buf, 0);
      if (n < 0) break;
      const auto a = ParseSearchAnswer(ByteView(buf, size_t(n)));
      if (!a) continue;
      DVSNET_SEARCH_CALLBACK cb;
      void* ctx;
      {
        std::lock_guard lock(st.m);
        if (st.stop || !st.reported.insert(a->mac).second) continue;
        cb = st.callback;
        ctx = st.context;
      }
      cb(0, a->name.c_str(), a->model.c_str(), a->ip.c_str(), a->mac.data(), a->httpPort, a->dataPort,
         a->netMask.c_str(), a->gateway.c_str(), a->auxAddr.c_str(), a->dns.c_str(), a->auxPort, 0,
         a->dhcp ? 1 : 0, ctx);
    }
  }
}

int32_t StartSearch(int32_t waitMs, DVSNET_SEARCH_CALLBACK callback, void* context) {
  if (!callback) return kBadArgument;
  const std::optional<Target> target = ResolveTarget();
  if (!target) return kRefused;
  if (waitMs < 0) waitMs = 0;
  if (waitMs > kMaxWaitMs) waitMs = kMaxWaitMs;
  Search& st = State();
  std::lock_guard api(st.api);
  const uint16_t seq = NextSeq();
  {
    std::lock_guard lock(st.m);
    if (st.running && !st.stop) {
      // Ask again on the running search and report every camera anew.
      st.callback = callback;
      st.context = context;
      st.deadline = NowMs() + waitMs;
      st.seq = seq;
      st.reported.clear();
      return SendTo(st.sock, st.target, BuildSearchRequest(seq)) ? kOk : kNetError;
    }
  }
  // The last search has ended (or is ending): its thread no longer calls back.
  if (st.thread.joinable()) st.thread.join();
  const int sock = OpenSocket(*target);
  if (sock < 0) return kNetError;
  if (!SendTo(sock, *target, BuildSearchRequest(seq))) {
    close(sock);
    return kNetError;
  }
  std::lock_guard lock(st.m);
  st.sock = sock;
  st.target = *target;
  st.callback = callback;
  st.context = context;
  st.deadline = NowMs() + waitMs;
  st.seq = seq;
  st.reported.clear();
  st.stop = false;
  st.running = true;
  st.thread = std::thread(RunSearch);
  return kOk;
}

int32_t StopSearchNow() {
  Search& st = State();
  std::lock_guard api(st.api);
  {
    std::lock_guard lock(st.m);
    st.stop = true;
  }
  if (st.thread.joinable()) st.thread.join();
  std::lock_guard lock(st.m);
  st.stop = false;
  return kOk;
}

const char* Or(const char* s) { return s ? s : ""; }

int32_t Configure(const uint8_t* mac, const char* user, const char* password, const char* name, const char* ip,
                  int32_t httpPort, int32_t dataPort, const char* netMask, const char* gateway, const char* auxAddr,
                  const char* dns, int32_t auxPort, int32_t dhcp) {
  if (!mac || httpPort < 0 || httpPort > 65535 || dataPort < 0 || dataPort > 65535 || auxPort < 0 ||
      auxPort > 65535)
    return kBadArgument;
  const std::optional<Target> target = ResolveTarget();
  if (!target) return kRefused;
  std::lock_guard api(State().api);
  ConfigRequest r;
  r.seq = NextSeq();
  std::copy(mac, mac + 6, r.mac.begin());
  r.dhcp = dhcp != 0;
  r.httpPort = uint16_t(httpPort);
  r.dataPort = uint16_t(dataPort);
  r.auxPort = uint16_t(auxPort);
  r.name = Or(name);
  r.ip = Or(ip);
  r.netMask = Or(netMask);
  r.gateway = Or(gateway);
  r.dns = Or(dns);
  r.auxAddr = Or(auxAddr);
  r.user = Or(user);
  r.password = Or(password);
  const int sock = OpenSocket(*target);
  if (sock < 0) return kNetError;
  if (!SendTo(sock, *target, BuildConfigRequest(r))) {
    close(sock);
    return kNetError;
  }
  int waitMs = kConfigWaitMs;
  if (const char* v = std::getenv("KESTROVA_SDK_CONFIG_WAIT_MS"); v && *v) waitMs = std::clamp(std::atoi(v), 1, kMaxWaitMs);
  const long long deadline = NowMs() + waitMs;
  int32_t result = kNoAnswer;
  uint8_t buf[2048];
  for (;;) {
    const long long left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{sock, POLLIN, 0};
    if (poll(&p, 1, int(left)) <= 0) continue;
    const ssize_t n = recv(sock, buf, sizeof buf, 0);
    if (n < 0) continue;
    const auto a = ParseConfigAnswer(ByteView(buf, size_t(n)));
    if (!a || a->seq != r.seq || a->mac != r.mac) continue;
    result = a->status == 0 ? kOk : int32_t(a->status);
    break;
  }
  close(sock);
  return result;
}

// A library that is unloaded while it searches stops first.
__attribute__((destructor)) void StopOnUnload() { StopSearchNow(); }

}  // namespace
}  // namespace kestrova::sdksim

DVSNET_EXPORT int32_t DVSNET_SearchServers(int32_t waitMs, int32_t mode, DVSNET_SEARCH_CALLBACK callback,
                                           void* context, int32_t reserved) {
  (void)mode;
  (void)reserved;
  return kestrova::sdksim::StartSearch(waitMs, callback, context);
}

DVSNET_EXPORT int32_t DVSNET_ConfigServer(const uint8_t* mac, const char* user, const char* password,
                                          const char* name, const char* ip, int32_t httpPort, int32_t dataPort,
                                          const char* netMask, const char* gateway, const char* auxAddr,
                                          const char* dns, int32_t auxPort, int32_t dhcp) {
  return kestrova::sdksim::Configure(mac, user, password, name, ip, httpPort, dataPort, netMask, gateway, auxAddr,
                                     dns, auxPort, dhcp);
}

DVSNET_EXPORT int32_t DVSNET_StopSearch(void) { return kestrova::sdksim::StopSearchNow(); }
