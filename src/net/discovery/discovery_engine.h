// The discovery engine: owns the five discovery sockets, the family-9 searches and the device
// list, sends the search rounds and feeds every received datagram to the classifier.
//
// Threading. Everything except PostRecord/DeliverAndWait runs on the owner's thread (the
// advanced window's UI thread, or the command line's poll loop). The owner watches fds() for
// readability (QSocketNotifier or poll()) and calls ProcessPending(), which reads every
// waiting datagram, parses it, sends the family-8 follow-ups and merges the records, all on
// the owner's thread, one datagram after the other.
//
// The family-9 search follows its own rhythm: a receive thread per search (TRecvThread) waits
// on the search socket in 30 ms slices until ten waits have passed without an answer. It does
// not touch the list: it parses each answer into a record and posts it into a queue; the queue
// signals a wake-up pipe that is one of fds(), so the owner merges the record in its next
// ProcessPending(). The thread does not wait for the merge (a record is a plain value handed
// over whole), which keeps it from stalling when the owner is busy.
//
// Records produced on other threads (the closed SDK's search callback) cross the same way:
// PostRecord() queues a record; DeliverAndWait() queues it and blocks until the owner has
// merged it, or the engine stops (then it returns false) so that a stopping owner never
// deadlocks with a reporting thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "core/discovery/cgi_search.h"
#include "core/discovery/device_list.h"
#include "core/discovery/discovery_protocol.h"
#include "net/sockets/adapter_paths.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

struct DiscoveryConfig {
  // Local address the sockets bind to; empty = every local address.
  std::string bindAddress;
  // Where every request goes (limited broadcast in real use). A limited broadcast leaves
  // through every adapter that adapterPaths lists, from the socket's own port; any other
  // address (loopback tests) is one ordinary send.
  std::string broadcastAddress = "255.255.255.255";
  // The adapters and the per-adapter send; nullptr = the system's (SystemAdapterPaths).
  AdapterPaths* adapterPaths = nullptr;
  // Cameras added by address: every request of a round also goes by unicast to each of these
  // (from the same socket, to the family's port), and a family-8 answer from one of them gets
  // its follow-ups by unicast too. Only unicast dotted IPv4 texts are kept (see SetAddresses).
  std::vector<std::string> addresses;
  // Preferred local ports of the five sockets, indexed by DiscoverySocket, bound in the order
  // IdUDPServer2, IdUDPServer1, IdUDPServer3, IdUDPServer4, IdUDPServer5. Port 0 = any free port.
  std::array<uint16_t, kDiscoverySocketCount> preferredPorts = {10000, 10001, 10002, 7999, 6800};
  int bindRange = 1000;
  // Camera-side ports.
  uint16_t family2Port = kFamily2Port;  // family-2 search and "IMAGIAQUERY,0"
  uint16_t uicamPort = kUicamQueryPort;
  uint16_t sq610Port = kSq610Port;
  uint16_t family5Port = kFamily5Port;
  uint16_t family8Port = kFamily8Port;  // search and follow-ups
  uint16_t family9Port = kFamily9Port;
  // The family-9 search socket: a fixed local port (a busy port means that round sends no
  // family-9 search), the wait slice and the number of quiet slices.
  uint16_t family9LocalPort = kFamily9LocalPort;
  int family9WaitMs = 30;
  int family9QuietPeriods = 10;
  // Longest a family-9 search listens in all: a steady stream of datagrams leaves no quiet
  // slice, and without this bound the search (and its port) would never end.
  int family9RoundMs = 3000;
  bool family9Enabled = true;
  // A family-8 answer is followed up only while a round is open: from a search round until
  // the next one, and at most this long after it. Answers outside a round (a device that
  // sends them unasked) get no request back.
  int family8FollowUpWindowMs = 3000;
  // Work of one ProcessPending() at most: datagrams read (taken from the sockets in turn, so
  // that a flooded socket cannot starve the others) and records taken from the reporters'
  // queue. What is left waits for the next turn of the owner's event loop, so a flood cannot
  // hold the owner's thread (its timer and window) for longer than one such batch.
  int maxDatagramsPerTurn = 512;
  int maxRecordsPerTurn = 256;
  // Kernel receive buffer of each socket, sized for a reply storm of many cameras.
  int receiveBufferBytes = 4 << 20;
};

struct DiscoveryStats {
  uint64_t datagrams = 0;      // received on the five sockets
  uint64_t oversized = 0;      // longer than the 1024-byte buffer: dropped
  uint64_t accepted = 0;       // the classifier accepted them
  uint64_t followUps = 0;      // family-8 follow-ups sent
  uint64_t sendFailures = 0;   // requests that could not be sent on any adapter (ignored)
  uint64_t adapterSendFailures = 0;  // sends of a request on one adapter that failed (the
                                     // request still went out of the other adapters)
  uint64_t unsentRounds = 0;   // search rounds of which no request left on any adapter
  uint64_t unicastSends = 0;   // requests sent by unicast to added addresses
  uint64_t family9Searches = 0;// family-9 searches started (socket bound, request sent)
  uint64_t family9Busy = 0;    // rounds whose family-9 socket could not be bound
  uint64_t queued = 0;         // records merged from the thread queue
  uint64_t queueDropped = 0;   // records posted while the queue was full: dropped
  uint64_t followUpsSkipped = 0;  // family-8 answers not followed up: outside a round, or
                                  // that camera's request of that kind was sent this round
  uint64_t turnsCut = 0;       // ProcessPending calls that left work for the next turn
  uint64_t listFull = 0;       // records of new cameras not listed: the list was full
};

class DiscoveryEngine {
 public:
  // Runs after every record the session merges (a datagram the classifier accepted, a
  // family-9 answer, an SDK report), with the list's verdict. The owner updates its count
  // label there and focuses the first entry when one was added and none is selected.
  using MergedFn = std::function<void(const DeviceList::MergeResult&)>;

  explicit DiscoveryEngine(DiscoveryConfig config = {});
  ~DiscoveryEngine();
  DiscoveryEngine(const DiscoveryEngine&) = delete;
  DiscoveryEngine& operator=(const DiscoveryEngine&) = delete;

  // Binds the five sockets with BindFreePort in their order and resets the round counter.
  // A socket whose port range is exhausted stays inactive; the others work. True when all
  // five are bound.
  bool Start();
  // Stops the family-9 threads, releases DeliverAndWait callers, closes the sockets and
  // clears the list. Start() may be called again afterwards.
  void Stop();
  bool Running() const { return running_; }

  // One search round: every family's request (see BuildSearchRound), then the SDK search when
  // withSdk is set and a hook is installed. Send failures are ignored.
  void SearchDevices(int round, bool withSdk);
  // One timer tick: SearchDevices(round counter, false), expire the entries, count the round.
  void Tick();
  // The Find button: clear the list, SearchDevices(0, true).
  void Find();

  // Reads and handles the waiting datagrams and queued records, at most one batch of each
  // (see DiscoveryConfig). Returns how many records the session accepted. When work is left,
  // the descriptors stay readable, so the owner's next poll or notifier comes back for it.
  int ProcessPending();
  // poll() on fds() for at most timeoutMs, then ProcessPending(). For loops without an event
  // loop (the command line, tests).
  int WaitAndProcess(int timeoutMs);
  // Descriptors to watch for readability: the active sockets and the wake-up pipe.
  std::vector<int> fds() const;
  // Waits (at most timeoutMs) until every running family-9 search has ended, then handles
  // what they delivered. For the end of a timed run.
  void FinishSearches(int timeoutMs);
  // ProcessPending until nothing is waiting or timeoutMs has passed. For the end of a run.
  void Drain(int timeoutMs);

  // Records from other threads (see above). DeliverAndWait called on the owner's thread
  // merges at once.
  void PostRecord(TDevInfo rec);
  bool DeliverAndWait(TDevInfo rec);

  DeviceList& List() { return list_; }
  const DeviceList& List() const { return list_; }
  int Round() const { return round_; }
  const DiscoveryConfig& Config() const { return config_; }
  DiscoveryStats Stats() const;
  // The local port a socket is bound to, 0 when inactive.
  uint16_t LocalPort(DiscoverySocket s) const;
  bool SocketActive(DiscoverySocket s) const;
  int RunningSearches() const;

  void SetOnMerged(MergedFn fn) { onMerged_ = std::move(fn); }
  // The closed-SDK search step of a round with withSdk set (installed by the SDK driver).
  void SetSdkSearch(std::function<void()> fn) { sdkSearch_ = std::move(fn); }

  // Sends bytes from one of the five sockets to the broadcast address (port remapped as the
  // configured camera-side ports say), out of every adapter listed now, and by unicast to each
  // added address. For the settings commands that share these sockets. True when at least one
  // adapter or address took it.
  bool SendFrom(DiscoverySocket s, uint16_t port, const std::vector<uint8_t>& bytes);

  // Replaces the added addresses (from the next round on); what is not a unicast dotted IPv4
  // address, repeats and everything past kMaxAddedAddresses are left out. The kept list.
  const std::vector<std::string>& SetAddresses(const std::vector<std::string>& addresses);
  const std::vector<std::string>& Addresses() const { return config_.addresses; }

  // The adapters the last round sent through (empty before the first round, and when the
  // broadcast address is not the limited broadcast).
  const std::vector<SendAdapter>& RoundAdapters() const { return adapters_; }
  // True when the last round's requests could leave on no adapter at all (no adapter is up,
  // or every send failed): no camera can have heard it. False before the first round.
  bool RoundUnsent() const { return roundUnsent_; }

 private:
  struct Pending;
  class RecvThread;

  void SearchFamily9(const std::vector<uint8_t>& request);
  // Sends from a socket through the adapters of the round (see SendToEveryAdapter), counting
  // what failed; true when at least one adapter took it.
  bool Broadcast(UdpSocket& sock, uint16_t port, const std::vector<uint8_t>& bytes);
  bool SendOnRound(DiscoverySocket s, uint16_t port, const std::vector<uint8_t>& bytes);
  // Sends to each added address (or only to `only` when given and added); how many took it.
  int SendToAddresses(UdpSocket& sock, uint16_t port, const std::vector<uint8_t>& bytes,
                      const std::string* only = nullptr);
  AdapterPaths& Paths() const;
  void ReapSearches();
  void HandleDatagram(const UdpDatagram& d);
  bool FollowUpAllowed(const OutDatagram& f);
  void Merge(const TDevInfo& rec);
  uint16_t MapPort(uint16_t defaultPort) const;

  DiscoveryConfig config_;
  std::array<UdpSocket, kDiscoverySocketCount> sockets_;
  DeviceList list_;
  int round_ = 0;
  bool running_ = false;
  DiscoveryStats stats_;
  std::vector<SendAdapter> adapters_;  // listed at the start of the round
  bool roundUnsent_ = false;
  int roundSent_ = 0;  // requests of the open round that left on some adapter
  // The open round of the family-8 follow-ups and what was sent in it.
  std::chrono::steady_clock::time_point roundOpenedAt_{};
  bool roundOpen_ = false;
  std::unordered_set<std::string> followedUp_;
  MergedFn onMerged_;
  std::function<void()> sdkSearch_;

  // Shared with the receive threads and reporting threads.
  WakePipe wake_;
  mutable std::mutex queueMutex_;
  std::condition_variable queueCv_;
  std::deque<std::shared_ptr<Pending>> queue_;
  uint64_t queueDropped_ = 0;  // under queueMutex_
  bool acceptingQueue_ = true;
  std::thread::id owner_ = std::this_thread::get_id();  // the thread that started the engine
  std::vector<std::unique_ptr<RecvThread>> searches_;
};

}  // namespace kestrova
