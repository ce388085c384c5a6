#include "net/upgrade/pk2_transfer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "core/discovery/ip_text.h"
#include "core/protocols/ctp_message.h"
#include "net/digest/md5.h"
#include "net/platform/scaled_clock.h"

namespace kestrova::upgrade {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// poll() for one event within ms, restarting after signals.
bool WaitFor(int fd, short events, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, MsLeft(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

// An answer of the camera as it may be shown in a detail text: printable ASCII only.
std::string Shown(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 60)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
  return out;
}

bool Tell(TSendState& st) {
  if (st.Report && *st.Report && !(*st.Report)(st.Progress)) st.Cancelled = true;
  return !st.Cancelled;
}

// A fixed wait of the transfer, scaled, in short slices so that a cancel is heard; false when
// the transfer was cancelled meanwhile.
bool Pause(int ms, TSendState& st) {
  const auto end = Clock::now() + std::chrono::milliseconds(ScaledMs(ms));
  while (Clock::now() < end) {
    if (!Tell(st)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, std::max(1, MsLeft(end)))));
  }
  return Tell(st);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Answers

std::optional<std::string> TReplyReader::Next(int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  const size_t cap = kReplyBufferSize - 1;
  char buf[kReplyBufferSize];
  auto take = [&](size_t n) {
    std::string line = pending_.substr(0, n);
    pending_.erase(0, n);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  };
  for (;;) {
    if (dropLine_) {
      const size_t nl = pending_.find('\n');
      if (nl == std::string::npos) {
        pending_.clear();
      } else {
        pending_.erase(0, nl + 1);
        dropLine_ = false;
      }
    }
    if (!dropLine_) {
      // The line end of an answer that was taken at the quiet gap may come later.
      const size_t start = pending_.find_first_not_of("\r\n");
      pending_.erase(0, start == std::string::npos ? pending_.size() : start);
      const size_t nl = pending_.find('\n');
      if (nl != std::string::npos && nl <= cap) {
        std::string line = take(nl);
        pending_.erase(0, 1);
        return line;
      }
      if (pending_.size() >= cap) {
        dropLine_ = true;  // the rest of this answer does not fit the reply buffer
        return take(cap);
      }
    }
    const int left = MsLeft(deadline);
    const bool partial = !pending_.empty() && !dropLine_;
    if (left == 0) {
      if (partial) return take(pending_.size());
      return std::nullopt;
    }
    const long n = link_.Receive(buf, cap, partial ? std::min(left, kQuietGapMs) : left);
    if (n > 0) {
      pending_.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n == TUpgradeLink::kTimedOut) {
      if (partial) return take(pending_.size());  // no line end: the answer is what came
      continue;                                    // the deadline ends the wait
    }
    // Closed or failed: what came before still counts as an answer.
    if (partial) return take(pending_.size());
    return std::nullopt;
  }
}

TReplyResult ReadReply(TReplyReader& r, std::string* why) {
  int more = 0;
  for (;;) {
    const std::optional<std::string> a = r.Next(kReplyWaitMs);
    if (!a) {
      if (why) *why = more ? "no answer after \"Continue\"" : "no answer";
      return TReplyResult::Failed;
    }
    switch (ClassifyReply(*a)) {
      case ReplyKind::Accepted:
        return TReplyResult::Accepted;
      case ReplyKind::More:
        if (++more > kMaxContinue) {
          if (why) *why = "more than " + std::to_string(kMaxContinue) + " \"Continue\" answers";
          return TReplyResult::Failed;
        }
        continue;
      case ReplyKind::Refused:
      case ReplyKind::NotReply:
        if (why) *why = "answer \"" + Shown(*a) + "\"";
        return TReplyResult::Refused;
    }
  }
}

namespace {

bool Exchange(TUpgradeLink& link, TReplyReader& reader, std::string_view message, std::string& why) {
  if (message.empty()) {
    why = "message does not fit the send buffer";
    return false;
  }
  if (!link.SendMessage(message)) {
    why = "send failed";
    return false;
  }
  return ReadReply(reader, &why) == TReplyResult::Accepted;
}

}  // namespace

bool SendRecord(TUpgradeLink& link, TReplyReader& reader, std::string_view package, const Pk2Record& rec,
                TSendState& st) {
  if (rec.DataOffset > package.size() || package.size() - rec.DataOffset < rec.DataLength) {
    st.Why = "record beyond the package";
    return false;
  }
  const std::string_view data = package.substr(rec.DataOffset, rec.DataLength);
  std::string why;
  if (rec.Kind == RecordKind::Command) {
    if (!Tell(st)) return false;
    if (!Exchange(link, reader, CommandMessage(Scramble(data)), why)) {
      st.Why = "command: " + why;
      return false;
    }
    st.Sent += data.size();
    st.Progress.Sent = st.Sent;
    return Tell(st);
  }
  if (rec.Kind != RecordKind::File) return true;  // another tag: skipped, the transfer goes on
  if (!Tell(st)) return false;
  if (!Exchange(link, reader, FileAnnouncement(rec.Name, data.size()), why)) {
    st.Why = "file " + Shown(rec.Name) + " announcement: " + why;
    return false;
  }
  std::string scrambled;
  scrambled.reserve(data.size());
  for (size_t off = 0; off < data.size(); off += kMaxChunk) {
    const std::string chunk = Scramble(data.substr(off, std::min(kMaxChunk, data.size() - off)));
    scrambled += chunk;
    if (!Exchange(link, reader, DataChunkMessage(chunk), why)) {
      st.Why = "file " + Shown(rec.Name) + " at byte " + std::to_string(off) + ": " + why;
      return false;
    }
    st.Sent += chunk.size();
    st.Progress.Sent = st.Sent;
    if (!Tell(st)) return false;
  }
  if (!Exchange(link, reader, DigestMessage(Md5(scrambled)), why)) {
    st.Why = "file " + Shown(rec.Name) + " digest: " + why;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// The connection

TSocketThread::TSocketThread(std::string host, int port) : host_(std::move(host)), port_(port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

TSocketThread::~TSocketThread() { Close(); }

bool TSocketThread::Connect(int waitMs) {
  in_addr addr{};
  if (fd_ < 0 || port_ <= 0 || port_ > 65535 || !IsUnicastIPv4Text(host_) ||
      ::inet_pton(AF_INET, host_.c_str(), &addr) != 1)
    return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port_));
  peer.sin_addr = addr;
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  // Under way: a success only once the connection is really there.
  if (!WaitFor(fd_, POLLOUT, waitMs)) return false;
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) return false;
  sockaddr_in got{};
  len = sizeof got;
  return ::getpeername(fd_, reinterpret_cast<sockaddr*>(&got), &len) == 0;
}

bool TSocketThread::Close() {
  if (fd_ < 0) return true;
  const int r = ::close(fd_);
  fd_ = -1;
  return r == 0;
}

bool TSocketThread::SendMessage(std::string_view bytes) {
  if (fd_ < 0 || bytes.empty() || bytes.size() > kSendBufferSize) return false;
  if (!WaitFor(fd_, POLLOUT, kReplyWaitMs)) return false;
  const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  return n == static_cast<ssize_t>(bytes.size());
}

long TSocketThread::Receive(char* buf, size_t max, int waitMs) {
  if (fd_ < 0) return kFailed;
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (!WaitFor(fd_, POLLIN, MsLeft(deadline))) return kTimedOut;
    const ssize_t n = ::recv(fd_, buf, max, MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return kFailed;
    if (MsLeft(deadline) == 0) return kTimedOut;
  }
}

bool TSocketThread::CtpCommand(const std::string& request) {
  if (!SendMessage(request)) return false;
  // The reply up to its announced length, a full reply buffer, or the quiet gap.
  const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyWaitMs);
  std::string reply;
  char buf[kReplyBufferSize];
  while (reply.size() < kReplyBufferSize - 1) {
    const int left = MsLeft(deadline);
    if (left == 0) break;
    const long n = Receive(buf, kReplyBufferSize - 1 - reply.size(), reply.empty() ? left : std::min(left, kQuietGapMs));
    if (n <= 0) break;
    reply.append(buf, static_cast<size_t>(n));
    if (CtpReplyFrame(reply).State == CtpFrame::Complete) break;
  }
  // What is left of a longer reply is not taken for the next answer.
  for (int i = 0; i < 64 && Receive(buf, sizeof buf, 0) > 0; ++i) {
  }
  return reply.find("200") != std::string::npos;
}

bool TSocketThread::Login(const std::string& user, const std::string& password) {
  return CtpCommand(BuildCtpLogin(user, password));
}

bool TSocketThread::ExitMode() { return CtpCommand(BuildCtpExit()); }

bool TSocketThread::SendAndReadReply(std::string_view message, std::string* why) {
  std::string w;
  const bool ok = Exchange(*this, reader_, message, w);
  if (why) *why = w;
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The transfer

namespace {

std::optional<std::string> ReadWhole(const std::string& path, size_t max) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return std::nullopt;
  std::string out;
  char buf[65536];
  while (out.size() <= max) {
    f.read(buf, sizeof buf);
    out.append(buf, static_cast<size_t>(f.gcount()));
    if (!f) break;
  }
  if (f.bad()) return std::nullopt;
  return out;
}

TTransferResult Fail(std::string key, std::string detail = {}) {
  TTransferResult r;
  r.MessageKey = std::move(key);
  r.Detail = std::move(detail);
  return r;
}

TTransferResult Cancelled() {
  TTransferResult r = Fail("IDS_UPGRADECANCELLED");
  r.Cancelled = true;
  return r;
}

}  // namespace

bool IsPackage(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  char head[kPackageHeaderSize];
  if (!f || !f.read(head, sizeof head)) return false;
  return LooksLikePackage(std::string_view(head, sizeof head));
}

TTransferResult UploadPackage(const std::string& file, const std::string& host, int port, const std::string& user,
                              const std::string& password, const TPk2ProgressFn& progress) {
  if (!IsPackage(file)) return Fail("IDS_ERRFILE");
  const std::optional<std::string> bytes = ReadWhole(file, kMaxPackageBytes);
  if (!bytes || bytes->size() > kMaxPackageBytes) return Fail("IDS_ERRFILE");
  const std::optional<Pk2Package> pkg = ParsePackage(*bytes);
  if (!pkg) return Fail("IDS_ERRFILE", "the package is shorter than its headers announce, or a record is malformed");

  TSendState st;
  st.Report = &progress;
  st.Progress.Records = pkg->RecordCount;
  for (const Pk2Record& r : pkg->Records)
    if (r.Kind != RecordKind::Other) st.Progress.Total += r.DataLength;
  if (!Tell(st)) return Cancelled();

  {
    TSocketThread c(host, port);
    if (!c.Valid()) return Fail("IDS_CREATESOCKETERR");
    if (!c.Connect()) return Fail("IDS_CANTCONNECT");
    if (!c.Login(user, password)) return Fail("IDS_ERRACCESS");
    if (!c.ExitMode()) return Fail("IDS_EXITCURMODE");
    if (!c.Close()) return Fail("IDS_CLOSEIPCAMERA");
  }
  if (!Pause(kModeSwitchWaitMs, st)) return Cancelled();

  bool complete = false;
  {
    TSocketThread c(host, port);
    std::string why;
    if (!c.Valid()) {
      st.Why = "no socket";
    } else if (!c.Connect()) {
      st.Why = "the upgrade mode could not be reached";
    } else if (!c.SendAndReadReply(GreetingMessage(), &why)) {
      st.Why = "greeting: " + why;
    } else {
      complete = true;
      for (uint32_t i = 0; i < pkg->RecordCount && complete; ++i) {
        st.Progress.Record = i + 1;
        complete = SendRecord(c, c.Reader(), *bytes, pkg->Records[i], st);
        if (!complete && !st.Cancelled)
          st.Why = "record " + std::to_string(i + 1) + " of " + std::to_string(pkg->RecordCount) + ": " + st.Why;
      }
    }
    c.Close();
  }
  if (st.Cancelled) return Cancelled();
  if (!Pause(kModeSwitchWaitMs, st)) return Cancelled();
  if (!complete) return Fail("IDS_UPGRADEMODEFAIL", st.Why);

  // The camera restarts with the new firmware; it is back when a connection is really made.
  st.Progress.AwaitingCamera = true;
  if (!Pause(kRestartWaitMs, st)) return Cancelled();
  bool back = false;
  for (int attempt = 0; attempt <= kBackRetries && !back; ++attempt) {
    if (attempt > 0 && !Pause(kBackRetryWaitMs, st)) return Cancelled();
    TSocketThread c(host, port);
    back = c.Connect();
  }
  if (!Pause(kModeSwitchWaitMs, st)) return Cancelled();
  if (!back) return Fail("IDS_UPGRADENOTBACK");
  TTransferResult ok;
  ok.Ok = true;
  return ok;
}

}  // namespace kestrova::upgrade
