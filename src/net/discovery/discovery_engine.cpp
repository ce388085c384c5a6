#include "net/discovery/discovery_engine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <thread>

#include "core/discovery/added_addresses.h"
#include "net/hostnet/send_adapters.h"

namespace kestrova {

namespace {
constexpr std::size_t Index(DiscoverySocket s) { return static_cast<std::size_t>(s); }
// Family-8 requests of one round at most: one information and one DDNS request for each
// camera the list can hold. Beyond that, answers of that round are not followed up.
constexpr size_t kMaxFollowUpsPerRound = 2 * kMaxDeviceEntries;
// Records that reporter threads may have queued for the owner at most; what a flood posts
// beyond it is dropped (the next answer of a real camera comes with the next round).
constexpr size_t kMaxQueuedRecords = 8192;
}  // namespace

// A queued record and, for DeliverAndWait, its completion.
struct DiscoveryEngine::Pending {
  TDevInfo rec;
  bool waited = false;
  bool done = false;
  bool merged = false;
};

// One family-9 search: owns the bound socket, waits for answers in slices, posts records.
class DiscoveryEngine::RecvThread {
 public:
  RecvThread(DiscoveryEngine& engine, UdpSocket socket)
      : engine_(engine), socket_(std::move(socket)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~RecvThread() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Done() const { return done_; }
  void AskStop() { stop_ = true; }

 private:
  void Run() {
    int quiet = 0;
    const int periods = engine_.config_.family9QuietPeriods;
    const int waitMs = engine_.config_.family9WaitMs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(engine_.config_.family9RoundMs);
    while (quiet < periods && !stop_ && std::chrono::steady_clock::now() < deadline) {
      const WaitResult w = socket_.WaitReadable(waitMs);
      if (w == WaitResult::Error) break;
      if (w == WaitResult::Timeout) {
        ++quiet;
        continue;
      }
      auto d = socket_.Receive(kFamily9ReceiveMax);
      // A datagram longer than the buffer, or an empty one, carries nothing to read.
      if (!d || d->oversized || d->data.empty()) continue;
      if (auto rec = ParseFamily9Answer(d->data)) engine_.PostRecord(std::move(*rec));
    }
    socket_.Close();
    done_ = true;
    engine_.wake_.Signal();
  }

  DiscoveryEngine& engine_;
  UdpSocket socket_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

DiscoveryEngine::DiscoveryEngine(DiscoveryConfig config) : config_(std::move(config)) {
  SetAddresses(std::vector<std::string>(config_.addresses));
}

const std::vector<std::string>& DiscoveryEngine::SetAddresses(const std::vector<std::string>& addresses) {
  std::vector<std::string> kept;
  for (const std::string& a : addresses) AddAddress(kept, a);
  config_.addresses = std::move(kept);
  return config_.addresses;
}

int DiscoveryEngine::SendToAddresses(UdpSocket& sock, uint16_t port, const std::vector<uint8_t>& bytes,
                                     const std::string* only) {
  int sent = 0;
  for (const std::string& a : config_.addresses) {
    if (only && a != *only) continue;
    if (!sock.IsOpen() || !sock.SendTo(a, port, bytes)) continue;  // no route to it: ignored
    ++sent;
    ++stats_.unicastSends;
  }
  return sent;
}

DiscoveryEngine::~DiscoveryEngine() { Stop(); }

bool DiscoveryEngine::Start() {
  if (running_) Stop();
  owner_ = std::this_thread::get_id();
  round_ = 0;
  roundOpen_ = false;
  roundUnsent_ = false;
  adapters_.clear();
  followedUp_.clear();
  bool all = true;
  for (const auto& info : DiscoverySocketsInBindOrder()) {
    UdpSocket& s = sockets_[Index(info.socket)];
    const uint16_t preferred = config_.preferredPorts[Index(info.socket)];
    if (!s.BindFreePort(preferred, config_.bindAddress, config_.bindRange)) {
      all = false;  // stays inactive, nothing is reported
      continue;
    }
    s.SetBroadcast(true);
    if (config_.receiveBufferBytes > 0) s.SetReceiveBuffer(config_.receiveBufferBytes);
  }
  {
    std::lock_guard lock(queueMutex_);
    acceptingQueue_ = true;
  }
  running_ = true;
  return all;
}

void DiscoveryEngine::Stop() {
  {
    std::lock_guard lock(queueMutex_);
    acceptingQueue_ = false;
    for (auto& p : queue_) p->done = true;
    queue_.clear();
  }
  queueCv_.notify_all();
  for (auto& t : searches_) t->AskStop();
  searches_.clear();  // joins
  for (auto& s : sockets_) s.Close();
  wake_.Drain();
  running_ = false;
  list_.ClearDevices();
}

uint16_t DiscoveryEngine::MapPort(uint16_t p) const {
  switch (p) {
    case kFamily2Port: return config_.family2Port;  // also "IMAGIAQUERY,0"
    case kUicamQueryPort: return config_.uicamPort;
    case kSq610Port: return config_.sq610Port;
    case kFamily5Port: return config_.family5Port;
    case kFamily8Port: return config_.family8Port;
    case kFamily9Port: return config_.family9Port;
    default: return p;
  }
}

AdapterPaths& DiscoveryEngine::Paths() const {
  return config_.adapterPaths ? *config_.adapterPaths : SystemAdapterPaths();
}

bool DiscoveryEngine::Broadcast(UdpSocket& sock, uint16_t port, const std::vector<uint8_t>& bytes) {
  const BroadcastOutcome o = SendToEveryAdapter(sock, Paths(), adapters_, config_.broadcastAddress, port, bytes);
  stats_.adapterSendFailures += uint64_t(o.Sent() ? o.Failed() : 0);
  if (!o.Sent()) ++stats_.sendFailures;
  return o.Sent();
}

bool DiscoveryEngine::SendOnRound(DiscoverySocket s, uint16_t port, const std::vector<uint8_t>& bytes) {
  if (Index(s) >= kDiscoverySocketCount) return false;
  UdpSocket& sock = sockets_[Index(s)];
  if (!sock.IsOpen()) {
    ++stats_.sendFailures;
    return false;
  }
  return Broadcast(sock, MapPort(port), bytes);
}

bool DiscoveryEngine::SendFrom(DiscoverySocket s, uint16_t port, const std::vector<uint8_t>& bytes) {
  // A settings command comes between rounds: the adapters as they are now.
  if (IsLimitedBroadcast(config_.broadcastAddress)) adapters_ = Paths().Adapters();
  bool sent = SendOnRound(s, port, bytes);
  // A camera added by address hears no broadcast: it gets the command directly, as it gets the
  // searches (the command names the camera it is for; the others ignore it).
  if (Index(s) < kDiscoverySocketCount) sent = SendToAddresses(sockets_[Index(s)], MapPort(port), bytes) > 0 || sent;
  return sent;
}

void DiscoveryEngine::SearchDevices(int round, bool withSdk) {
  if (!running_) return;
  ReapSearches();
  roundOpen_ = true;
  roundOpenedAt_ = std::chrono::steady_clock::now();
  followedUp_.clear();
  // The adapters are listed once a round: one that is plugged in shows up in the next round,
  // one that disappears fails its sends (counted) without holding up the others.
  adapters_.clear();
  if (IsLimitedBroadcast(config_.broadcastAddress)) adapters_ = Paths().Adapters();
  roundSent_ = 0;
  bool tried = false;
  for (const OutDatagram& d : BuildSearchRound(round)) {
    if (d.from == DiscoverySocket::Family9Search) {
      if (config_.family9Enabled) SearchFamily9(d.bytes);
      continue;
    }
    tried = true;
    if (SendOnRound(d.from, d.port, d.bytes)) ++roundSent_;  // a failure is ignored; the round goes on
    if (Index(d.from) < kDiscoverySocketCount) SendToAddresses(sockets_[Index(d.from)], MapPort(d.port), d.bytes);
  }
  roundUnsent_ = tried && roundSent_ == 0;
  if (roundUnsent_) ++stats_.unsentRounds;
  if (withSdk && sdkSearch_) sdkSearch_();
}

void DiscoveryEngine::SearchFamily9(const std::vector<uint8_t>& request) {
  UdpSocket s;
  if (!s.Open()) return;
  // No address reuse: while an earlier search still listens on the port this round sends
  // nothing for family 9.
  if (!s.Bind(config_.family9LocalPort, config_.bindAddress)) {
    ++stats_.family9Busy;
    return;
  }
  s.SetBroadcast(true);
  if (config_.receiveBufferBytes > 0) s.SetReceiveBuffer(config_.receiveBufferBytes);
  const bool broadcast = Broadcast(s, config_.family9Port, request);
  if (broadcast) ++roundSent_;
  const int unicast = SendToAddresses(s, config_.family9Port, request);
  if (!broadcast && unicast == 0) return;
  ++stats_.family9Searches;
  searches_.push_back(std::make_unique<RecvThread>(*this, std::move(s)));
}

void DiscoveryEngine::ReapSearches() {
  std::erase_if(searches_, [](const std::unique_ptr<RecvThread>& t) { return t->Done(); });
}

int DiscoveryEngine::RunningSearches() const {
  int n = 0;
  for (const auto& t : searches_) n += t->Done() ? 0 : 1;
  return n;
}

void DiscoveryEngine::Tick() {
  SearchDevices(round_, false);
  list_.ExpireTick();
  ++round_;
}

void DiscoveryEngine::Find() {
  list_.ClearDevices();
  SearchDevices(0, true);
}

void DiscoveryEngine::Merge(const TDevInfo& rec) {
  const DeviceList::MergeResult r = list_.MergeDevice(rec);
  if (r.action == DeviceList::MergeResult::Full) ++stats_.listFull;
  if (onMerged_) onMerged_(r);
}

bool DiscoveryEngine::FollowUpAllowed(const OutDatagram& f) {
  if (!roundOpen_) return false;
  if (std::chrono::steady_clock::now() - roundOpenedAt_ > std::chrono::milliseconds(config_.family8FollowUpWindowMs)) {
    roundOpen_ = false;
    return false;
  }
  if (followedUp_.size() >= kMaxFollowUpsPerRound) return false;
  // One request of each kind per camera: the command and the block the request carries (the
  // camera's own block) tell the cameras apart; the echoed header word does not.
  if (f.bytes.size() < 8) return false;
  std::string key(f.bytes.begin() + 2, f.bytes.begin() + 4);
  key.append(f.bytes.begin() + 8, f.bytes.end());
  return followedUp_.insert(std::move(key)).second;
}

void DiscoveryEngine::HandleDatagram(const UdpDatagram& d) {
  ++stats_.datagrams;
  if (d.oversized) {
    ++stats_.oversized;
    return;
  }
  const ParseResult r = ParseDatagram(d.data, [this](const std::string& mac) { return list_.FindDevByMAC(mac); });
  for (const OutDatagram& f : r.followUps) {
    if (!FollowUpAllowed(f)) {
      ++stats_.followUpsSkipped;
      continue;
    }
    // A camera added by address is asked directly as well: no broadcast may reach it.
    bool sent = SendOnRound(f.from, f.port, f.bytes);
    if (Index(f.from) < kDiscoverySocketCount)
      sent = SendToAddresses(sockets_[Index(f.from)], MapPort(f.port), f.bytes, &d.fromIp) > 0 || sent;
    if (sent) ++stats_.followUps;
  }
  if (!r.accepted) return;
  ++stats_.accepted;
  Merge(r.rec);
}

int DiscoveryEngine::ProcessPending() {
  int accepted = 0;
  wake_.Drain();
  bool cut = false;
  if (running_) {
    const uint64_t before = stats_.accepted;
    // The sockets in turn, one datagram each, until all are empty or the batch is full.
    std::array<bool, kDiscoverySocketCount> empty{};
    for (std::size_t i = 0; i < kDiscoverySocketCount; ++i) empty[i] = !sockets_[i].IsOpen();
    int budget = std::max(1, config_.maxDatagramsPerTurn);
    for (bool any = true; any;) {
      any = false;
      for (std::size_t i = 0; i < kDiscoverySocketCount; ++i) {
        if (empty[i]) continue;
        if (budget == 0) {
          cut = true;
          any = false;
          break;
        }
        auto d = sockets_[i].IsOpen() ? sockets_[i].Receive(kDiscoveryDatagramMax) : std::nullopt;
        if (!d) {
          empty[i] = true;
          continue;
        }
        --budget;
        any = true;
        HandleDatagram(*d);
      }
    }
    accepted += int(stats_.accepted - before);
  }
  // Records from the family-9 threads and other reporters.
  for (int taken = 0;; ++taken) {
    std::shared_ptr<Pending> p;
    {
      std::lock_guard lock(queueMutex_);
      if (queue_.empty()) break;
      if (taken >= std::max(1, config_.maxRecordsPerTurn)) {
        // The wake-up pipe was drained above: signal it again so the owner comes back.
        cut = true;
        wake_.Signal();
        break;
      }
      p = std::move(queue_.front());
      queue_.pop_front();
    }
    Merge(p->rec);
    ++stats_.queued;
    ++accepted;
    if (p->waited) {
      {
        std::lock_guard lock(queueMutex_);
        p->done = true;
        p->merged = true;
      }
      queueCv_.notify_all();
    }
  }
  ReapSearches();
  if (cut) ++stats_.turnsCut;
  return accepted;
}

std::vector<int> DiscoveryEngine::fds() const {
  std::vector<int> v;
  for (const auto& s : sockets_)
    if (s.IsOpen()) v.push_back(s.fd());
  if (wake_.Ok()) v.push_back(wake_.fd());
  return v;
}

int DiscoveryEngine::WaitAndProcess(int timeoutMs) {
  const std::vector<int> v = fds();
  if (WaitAnyReadable(v, timeoutMs) != WaitResult::Readable) return 0;
  return ProcessPending();
}

void DiscoveryEngine::FinishSearches(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (RunningSearches() > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    WaitAndProcess(int(std::min<long long>(left, 50)));
  }
  Drain(timeoutMs);
}

void DiscoveryEngine::Drain(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    const uint64_t cutBefore = stats_.turnsCut;
    ProcessPending();
    if (stats_.turnsCut == cutBefore) break;  // nothing was left over
  } while (std::chrono::steady_clock::now() < deadline);
}

DiscoveryStats DiscoveryEngine::Stats() const {
  DiscoveryStats s = stats_;
  std::lock_guard lock(queueMutex_);
  s.queueDropped = queueDropped_;
  return s;
}

void DiscoveryEngine::PostRecord(TDevInfo rec) {
  auto p = std::make_shared<Pending>();
  p->rec = std::move(rec);
  {
    std::lock_guard lock(queueMutex_);
    if (!acceptingQueue_) return;
    if (queue_.size() >= kMaxQueuedRecords) {
      ++queueDropped_;
      return;
    }
    queue_.push_back(std::move(p));
  }
  wake_.Signal();
}

bool DiscoveryEngine::DeliverAndWait(TDevInfo rec) {
  if (std::this_thread::get_id() == owner_) {
    // Waiting for our own ProcessPending would never end: merge at once.
    if (!running_) return false;
    Merge(rec);
    return true;
  }
  auto p = std::make_shared<Pending>();
  p->rec = std::move(rec);
  p->waited = true;
  std::unique_lock lock(queueMutex_);
  if (!acceptingQueue_) return false;
  queue_.push_back(p);
  wake_.Signal();
  queueCv_.wait(lock, [&] { return p->done; });
  return p->merged;
}

uint16_t DiscoveryEngine::LocalPort(DiscoverySocket s) const {
  return Index(s) < kDiscoverySocketCount ? sockets_[Index(s)].LocalPort() : 0;
}

bool DiscoveryEngine::SocketActive(DiscoverySocket s) const {
  return Index(s) < kDiscoverySocketCount && sockets_[Index(s)].IsOpen();
}

}  // namespace kestrova
