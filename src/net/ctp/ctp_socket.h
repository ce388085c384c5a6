// CTP over TCP: TCTPSocket (one connection to one camera), the process-wide connection pool
// keyed by "host|port", the commands and TRebootThread.
//
// Threads: the pool is safe to use from any thread. Connections are shared: the pool and every
// caller hold a std::shared_ptr, and Exchange on one connection is serialised by the
// connection's own mutex, so a connection that another thread is using is never destroyed
// under it (ReleaseConnection or a failed keepalive only drops the pool's reference; the
// socket closes when the last user lets go).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/protocols/ctp_message.h"

namespace kestrova {

struct CtpTimeouts {
  // Wait for the socket to become writable before each send attempt (also the connect wait).
  std::chrono::milliseconds Send{1000};
  // Wait for the first bytes of the reply.
  std::chrono::milliseconds Reply{60000};
  // Once bytes have arrived: a reply that carries no Content-Length ends when nothing more
  // arrives for this long.
  std::chrono::milliseconds QuietGap{300};
  // A reply whose Content-Length announces more than has arrived waits this long for each
  // further segment (a camera that counts its length differently then costs this, once).
  std::chrono::milliseconds FramedGap{2000};
};

// The largest reply kept; bytes beyond it are read and dropped.
inline constexpr std::size_t kCtpMaxReply = 256 * 1024;

class TCTPSocket {
 public:
  // Stores host and port and starts a non-blocking connect. Check Valid(): false when the host
  // is not a dotted IPv4 address or no socket could be made.
  TCTPSocket(std::string host, int port);
  ~TCTPSocket();
  TCTPSocket(const TCTPSocket&) = delete;
  TCTPSocket& operator=(const TCTPSocket&) = delete;

  bool Valid() const { return fd_ >= 0; }
  const std::string& Host() const { return host_; }
  int Port() const { return port_; }

  // Sends the whole request and returns the whole reply (read to the length its header
  // announces, or to the quiet gap), or "" on any failure or time-out. Safe from several
  // threads; exchanges on one connection run one after the other.
  std::string Exchange(const std::string& request, const CtpTimeouts& t = {});

 private:
  std::string ExchangeLocked(const std::string& request, const CtpTimeouts& t);
  std::string host_;
  int port_ = 0;
  int fd_ = -1;
  std::mutex mu_;
};

using CtpConnection = std::shared_ptr<TCTPSocket>;

// Pool key: host + "|" + decimal port.
std::string CtpPoolKey(const std::string& host, int port);

// The pooled connection for host:port. A stored one is re-checked with keepalive and replaced
// by a fresh connection when the check fails. nullptr when no connection can be made.
CtpConnection AcquireConnection(const std::string& host, int port, const CtpTimeouts& t = {});
// AcquireConnection, then Exchange; "" on any failure.
std::string SendPooled(const std::string& host, int port, const std::string& request, const CtpTimeouts& t = {});
// Removes the pool entry that holds this connection (if any). The connection itself closes
// when its last user drops it.
void ReleaseConnection(const CtpConnection& conn);
// Number of pool entries (for tests and diagnostics).
std::size_t CtpPoolSize();
// Drops every pool entry.
void CtpPoolClear();

// Commands (each builds its request, calls Exchange and reads the reply).
bool Keepalive(TCTPSocket& c, const CtpTimeouts& t = {});
bool Login(TCTPSocket& c, const std::string& user, const std::string& password, const CtpTimeouts& t = {});
int32_t GetOrayState(TCTPSocket& c, const CtpTimeouts& t = {});
std::optional<TDEVWiFi> GetWirelessConfig(TCTPSocket& c, const CtpTimeouts& t = {});
bool SetWirelessConfig(TCTPSocket& c, const TDEVWiFi& wifi, const CtpTimeouts& t = {});
// Appends the networks to target (when given); true when the list that received them holds
// at least one entry.
bool ListNetworks(TCTPSocket& c, std::vector<TCtpNetwork>* target, const CtpTimeouts& t = {});

// Sends "restart" through the pool from a thread of its own and drops the reply. The thread
// detaches and ends by itself; Join() is there for tests and orderly shutdown.
class TRebootThread {
 public:
  TRebootThread(std::string host, int port, CtpTimeouts t = {});
  ~TRebootThread();
  // Waits until the restart request has been sent and its reply read.
  void Join();
  // Starts a restart that nobody waits for.
  static void Start(const std::string& host, int port, CtpTimeouts t = {});

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace kestrova
