// The PK2 package transfer to a family-5 camera: log in over CTP, leave the current mode, send
// the package record by record in the camera's upgrade mode, then wait for the camera to come
// back from its restart.
//
// Every exchange is bounded: each answer within kReplyWaitMs of its request, at most
// kMaxContinue "Continue" answers in a row, every connect within kConnectWaitMs. The fixed waits
// around the restart go through the scaled clock (KESTROVA_TIME_SCALE).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/upgrade/pk2.h"
#include "core/upgrade/upgrade_flow.h"

namespace kestrova::upgrade {

inline constexpr int kReplyWaitMs = 8000;     // each answer (network time-out, not scaled)
inline constexpr int kConnectWaitMs = 1000;   // each connect (network time-out, not scaled)
inline constexpr int kQuietGapMs = 300;       // an answer without a line end ends after this
inline constexpr int kMaxContinue = 16;       // "Continue" answers in a row, then failure
inline constexpr size_t kReplyBufferSize = 200;
// The fixed waits (scaled): before the upgrade-mode connection, after it, before the first
// back-test and between back-tests.
inline constexpr int kModeSwitchWaitMs = 5000;
inline constexpr int kRestartWaitMs = 40000;
inline constexpr int kBackRetryWaitMs = 10000;
inline constexpr int kBackRetries = 10;

// Where a transfer is: the record being sent (1-based; 0 before the first), the package's data
// bytes sent of their total, and whether the camera is being awaited after its restart.
struct TPk2Progress {
  uint32_t Record = 0, Records = 0;
  uint64_t Sent = 0, Total = 0;
  bool AwaitingCamera = false;
};
// Told of every step; returning false cancels the transfer.
using TPk2ProgressFn = std::function<bool(const TPk2Progress&)>;

// The byte pipe of one connection (a socket; a script in tests).
class TUpgradeLink {
 public:
  virtual ~TUpgradeLink() = default;
  // The whole message in one send call; false on a partial send or an error.
  virtual bool SendMessage(std::string_view bytes) = 0;
  // Waits up to waitMs for bytes, then receives at most max of them: the count, 0 when the peer
  // closed, kTimedOut when nothing came in time, kFailed on an error.
  virtual long Receive(char* buf, size_t max, int waitMs) = 0;
  static constexpr long kTimedOut = -2;
  static constexpr long kFailed = -1;
};

// Reads the answers of one connection: lines ending in LF (a CR before it is dropped), or the
// bytes that arrived when nothing more comes for the quiet gap, or a full reply buffer.
class TReplyReader {
 public:
  explicit TReplyReader(TUpgradeLink& link) : link_(link) {}
  // One answer within waitMs; nullopt on a time-out, a closed connection or an error.
  std::optional<std::string> Next(int waitMs);

 private:
  TUpgradeLink& link_;
  std::string pending_;
  bool dropLine_ = false;  // the rest of an over-long answer is not an answer of its own
};

enum class TReplyResult { Accepted, Refused, Failed };
// One answer in upgrade mode: "REPLY OK" accepts; "REPLY Continue n" (n not 0) reads the next
// one, at most kMaxContinue times in a row; anything else refuses. Failed: no (further) answer
// in time, the connection ended, or too many "Continue". `why` tells which.
TReplyResult ReadReply(TReplyReader& r, std::string* why = nullptr);

// Sends one record of the package (its bytes given whole): a FILE record as its announcement,
// DATA chunks of at most kMaxChunk scrambled bytes and the MD5 of the scrambled data, a CMD
// record as one scrambled message; a record of another tag is skipped (true). Each message's
// answer must accept it. `progress` (may be empty) hears of every chunk; sent counts the data
// bytes of the package sent so far.
struct TSendState {
  uint64_t Sent = 0;
  TPk2Progress Progress;
  const TPk2ProgressFn* Report = nullptr;
  bool Cancelled = false;
  std::string Why;  // what failed
};
bool SendRecord(TUpgradeLink& link, TReplyReader& reader, std::string_view package, const Pk2Record& rec,
                TSendState& state);

// One TCP connection to the camera: non-blocking, no-delay.
class TSocketThread : public TUpgradeLink {
 public:
  TSocketThread(std::string host, int port);
  ~TSocketThread() override;
  TSocketThread(const TSocketThread&) = delete;
  TSocketThread& operator=(const TSocketThread&) = delete;

  bool Valid() const { return fd_ >= 0; }
  // Connects within waitMs: true only when the connection is established (a camera that does
  // not answer, or refuses, is a failure). The host must be a dotted IPv4 address.
  bool Connect(int waitMs = kConnectWaitMs);
  // CTP "cfgusr -login user:password" and the bare "CMD exit"; true when the answer holds "200".
  bool Login(const std::string& user, const std::string& password);
  bool ExitMode();
  bool Close();
  // Sends the message and reads its answer; only an accepted answer counts.
  bool SendAndReadReply(std::string_view message, std::string* why = nullptr);
  TReplyReader& Reader() { return reader_; }

  bool SendMessage(std::string_view bytes) override;
  long Receive(char* buf, size_t max, int waitMs) override;

 private:
  bool CtpCommand(const std::string& request);
  std::string host_;
  int port_ = 0;
  int fd_ = -1;
  TReplyReader reader_{*this};
};

// The whole transfer. The package is read and checked whole first: a file that is not a PK2
// package, or one shorter than its headers announce, is refused with IDS_ERRFILE before any
// connection. Failure keys: IDS_ERRFILE, IDS_CREATESOCKETERR, IDS_CANTCONNECT, IDS_ERRACCESS,
// IDS_EXITCURMODE, IDS_CLOSEIPCAMERA, IDS_UPGRADEMODEFAIL (the upgrade mode did not take the
// package; Detail says where), IDS_UPGRADENOTBACK (the camera did not come back) and
// IDS_UPGRADECANCELLED (with Cancelled set).
TTransferResult UploadPackage(const std::string& file, const std::string& host, int port, const std::string& user,
                              const std::string& password, const TPk2ProgressFn& progress = {});

// IsPackage: the file opens, its first 28 bytes can be read and begin with "PK2" and a zero.
bool IsPackage(const std::string& path);

}  // namespace kestrova::upgrade
