#include "net/ctp/ctp_socket.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <thread>

#include "net/sockets/tcp_stream.h"

namespace kestrova {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReceiveChunk = 10240;
// Leftover bytes thrown away before a request, at most (a few whole replies).
constexpr std::size_t kDrainMax = 4 * kCtpMaxReply;

}  // namespace

TCTPSocket::TCTPSocket(std::string host, int port) : host_(std::move(host)), port_(port) {
  // Not awaited here: the first send waits for the socket to become writable.
  fd_ = TcpConnectStart(host_, port);
}

TCTPSocket::~TCTPSocket() {
  TcpClose(fd_);
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
    const long n = TcpRecv(fd_, scratch, sizeof scratch);
    if (n <= 0) break;
    drained += static_cast<size_t>(n);
    if (drained > kDrainMax || Clock::now() >= drainDeadline) return {};
  }

  // The whole request within the send time-out, however slowly the peer takes it.
  const auto sendDeadline = Clock::now() + t.Send;
  std::string_view pending = request;
  while (!pending.empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(sendDeadline - Clock::now());
    if (left.count() <= 0 || !TcpWait(fd_, true, left)) return {};
    const long n = TcpSend(fd_, pending.data(), pending.size());
    if (n == kTcpWouldBlock) continue;
    if (n < 0) return {};
    pending.remove_prefix(static_cast<size_t>(n));
  }

  auto deadline = Clock::now() + t.Reply;
  if (!TcpWait(fd_, false, t.Reply)) return {};
  std::string reply;
  for (;;) {
    const long n = TcpRecv(fd_, scratch, sizeof scratch);
    if (n == kTcpWouldBlock) {
      // spurious wake-up: wait again within the reply time
    } else if (n < 0) {
      return reply;
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
    if (!TcpWait(fd_, false, wait)) return reply;
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
