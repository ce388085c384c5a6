#include "net/ctp/ctp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <algorithm>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrova {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReceiveChunk = 10240;
// Leftover bytes thrown away before a request, at most (a few whole replies).
constexpr std::size_t kDrainMax = 4 * kCtpMaxReply;

// poll() for one event, restarting after signals; true when the event (or an error/hang-up
// condition, which the following send/recv then reports) is signalled in time.
bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

TCTPSocket::TCTPSocket(std::string host, int port) : host_(std::move(host)), port_(port) {
  in_addr addr{};
  if (port < 0 || port > 65535 || ::inet_pton(AF_INET, host_.c_str(), &addr) != 1) return;
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  peer.sin_addr = addr;
  // Not awaited here: the first send waits for the socket to become writable.
  (void)::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
}

TCTPSocket::~TCTPSocket() {
  if (fd_ >= 0) ::close(fd_);
}

std::string TCTPSocket::Exchange(const std::string& request, const CtpTimeouts& t) {
  std::lock_guard lock(mu_);
  return ExchangeLocked(request, t);
}

std::string TCTPSocket::ExchangeLocked(const std::string& request, const CtpTimeouts& t) {
  if (fd_ < 0) return {};
  // Bytes left over from an earlier reply would be taken for this one's start. A peer that
  // keeps sending cannot hold the drain: it ends after the send time-out or once more than a
  // few whole replies' worth has been thrown away, and the exchange then fails (whatever came
  // next could not be told from the reply).
  char scratch[kReceiveChunk];
  const auto drainDeadline = Clock::now() + t.Send;
  size_t drained = 0;
  for (;;) {
    const ssize_t n = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
    if (n <= 0) break;
    drained += static_cast<size_t>(n);
    if (drained > kDrainMax || Clock::now() >= drainDeadline) return {};
  }

  // The whole request within the send time-out, however slowly the peer takes it.
  const auto sendDeadline = Clock::now() + t.Send;
  std::string_view pending = request;
  while (!pending.empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(sendDeadline - Clock::now());
    if (left.count() <= 0 || !WaitFor(fd_, POLLOUT, left)) return {};
    ssize_t n = ::send(fd_, pending.data(), pending.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return {};
    }
    pending.remove_prefix(static_cast<size_t>(n));
  }

  auto deadline = Clock::now() + t.Reply;
  if (!WaitFor(fd_, POLLIN, t.Reply)) return {};
  std::string reply;
  for (;;) {
    ssize_t n = ::recv(fd_, scratch, sizeof scratch, 0);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        // spurious wake-up: wait again within the reply time
      } else {
        return reply;
      }
    } else if (n == 0) {
      return reply;  // the camera closed the connection: what arrived is the reply
    } else if (reply.size() < kCtpMaxReply) {
      reply.append(scratch, std::min<size_t>(static_cast<size_t>(n), kCtpMaxReply - reply.size()));
    }
    std::chrono::milliseconds gap = t.QuietGap;
    if (!reply.empty()) {
      CtpFrame state = CtpReplyFrame(reply).State;
      if (state == CtpFrame::Complete || reply.size() >= kCtpMaxReply) return reply;
      if (state == CtpFrame::Incomplete) gap = std::max(t.QuietGap, t.FramedGap);
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return reply;
    auto wait = reply.empty() ? left : std::min(left, gap);
    if (!WaitFor(fd_, POLLIN, wait)) return reply;
  }
}

// ---------------------------------------------------------------------------------------
// Pool

namespace {

struct Pool {
  std::mutex mu;
  std::map<std::string, CtpConnection> entries;
};

// Never destroyed: a detached restart thread may still use it while the process exits.
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

CtpConnection MakeConnection(const std::string& host, int port) {
  auto c = std::make_shared<TCTPSocket>(host, port);
  return c->Valid() ? c : nullptr;
}

}  // namespace

std::string CtpPoolKey(const std::string& host, int port) { return host + "|" + std::to_string(port); }

CtpConnection AcquireConnection(const std::string& host, int port, const CtpTimeouts& t) {
  Pool& pool = ThePool();
  const std::string key = CtpPoolKey(host, port);
  CtpConnection stored;
  {
    std::lock_guard lock(pool.mu);
    auto it = pool.entries.find(key);
    if (it == pool.entries.end()) {
      auto fresh = MakeConnection(host, port);
      if (fresh) pool.entries.emplace(key, fresh);
      return fresh;
    }
    stored = it->second;
  }
  // The keepalive runs outside the pool lock so that other cameras are not held up; the
  // connection's own lock orders it after any exchange another thread has running on it.
  if (Keepalive(*stored, t)) return stored;
  auto fresh = MakeConnection(host, port);
  std::lock_guard lock(pool.mu);
  auto it = pool.entries.find(key);
  if (it != pool.entries.end() && it->second != stored) return it->second;  // replaced meanwhile
  if (it != pool.entries.end()) pool.entries.erase(it);
  if (fresh) pool.entries.emplace(key, fresh);
  return fresh;
}

std::string SendPooled(const std::string& host, int port, const std::string& request, const CtpTimeouts& t) {
  try {
    auto c = AcquireConnection(host, port, t);
    if (!c) return {};
    return c->Exchange(request, t);
  } catch (...) {
    return {};
  }
}

void ReleaseConnection(const CtpConnection& conn) {
  if (!conn) return;
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mu);
  for (auto it = pool.entries.begin(); it != pool.entries.end(); ++it) {
    if (it->second == conn) {
      pool.entries.erase(it);
      return;
    }
  }
}

std::size_t CtpPoolSize() {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mu);
  return pool.entries.size();
}

void CtpPoolClear() {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mu);
  pool.entries.clear();
}

// ---------------------------------------------------------------------------------------
// Commands

bool Keepalive(TCTPSocket& c, const CtpTimeouts& t) { return CtpKeepaliveOk(c.Exchange(BuildCtpKeepalive(), t)); }

bool Login(TCTPSocket& c, const std::string& user, const std::string& password, const CtpTimeouts& t) {
  return CtpReplyOk(c.Exchange(BuildCtpLogin(user, password), t));
}

int32_t GetOrayState(TCTPSocket& c, const CtpTimeouts& t) {
  return ParseCtpOrayState(c.Exchange(BuildCtpGetOrayState(), t));
}

std::optional<TDEVWiFi> GetWirelessConfig(TCTPSocket& c, const CtpTimeouts& t) {
  return ParseCtpWirelessConfig(c.Exchange(BuildCtpGetWireless(), t));
}

bool SetWirelessConfig(TCTPSocket& c, const TDEVWiFi& wifi, const CtpTimeouts& t) {
  return CtpReplyOk(c.Exchange(BuildCtpSetWireless(wifi), t));
}

bool ListNetworks(TCTPSocket& c, std::vector<TCtpNetwork>* target, const CtpTimeouts& t) {
  std::vector<TCtpNetwork> own;
  std::vector<TCtpNetwork>& list = target ? *target : own;
  for (auto& n : ParseCtpNetworkList(c.Exchange(BuildCtpListNetworks(), t))) list.push_back(std::move(n));
  return !list.empty();
}

// ---------------------------------------------------------------------------------------
// TRebootThread

struct TRebootThread::State {
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
};

TRebootThread::TRebootThread(std::string host, int port, CtpTimeouts t) : state_(std::make_shared<State>()) {
  std::thread([st = state_, host = std::move(host), port, t] {
    (void)SendPooled(host, port, BuildCtpRestart(), t);
    std::lock_guard lock(st->mu);
    st->done = true;
    st->cv.notify_all();
  }).detach();
}

TRebootThread::~TRebootThread() = default;

void TRebootThread::Join() {
  std::unique_lock lock(state_->mu);
  state_->cv.wait(lock, [&] { return state_->done; });
}

void TRebootThread::Start(const std::string& host, int port, CtpTimeouts t) { TRebootThread(host, port, t); }

}  // namespace kestrova
