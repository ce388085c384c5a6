#include "net/router/plugin_host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/router/port_forward.h"
#include "core/router/router_list.h"
#include "net/platform/program_dir.h"
#include "net/platform/scaled_clock.h"

namespace kestrova {

namespace {

using PortForwardFn = int32_t (*)(const char*, const char*, const char*, char**);
using FileVersionFn = uint64_t (*)();

// The longest answer taken from a buffer the plug-in pointed the variable at; its size is
// unknown to the host, so reading stops here at the latest.
constexpr size_t kMaxForeignAnswer = 16 * 1024 * 1024;

bool WriteAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Child side: the reply is one status byte, then the answer bytes. Nothing is written when
// the library or the export is missing, so the parent reports 6.
[[noreturn]] void RunChild(int fd, const char* library, const char* exportName, const char* address,
                           const char* user, const char* password, const std::string& request) {
  void* h = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (!h) ::_exit(1);
  if (std::strcmp(exportName, "FileVersion") == 0) {
    auto fn = reinterpret_cast<FileVersionFn>(::dlsym(h, "FileVersion"));
    if (!fn) ::_exit(1);
    const uint64_t v = fn();
    const unsigned char status = 0;
    WriteAll(fd, &status, 1);
    WriteAll(fd, &v, sizeof v);
    ::_exit(0);
  }
  auto fn = reinterpret_cast<PortForwardFn>(::dlsym(h, exportName));
  if (!fn) ::_exit(1);
  std::vector<char> buffer(router::kPluginBufferSize, 0);
  std::memcpy(buffer.data(), request.data(), request.size());
  char* text = buffer.data();
  const int32_t rc = fn(address, user, password, &text);
  const unsigned char status = static_cast<unsigned char>(static_cast<uint32_t>(rc) & 0xFF);
  std::string answer;
  if (text == buffer.data()) {
    answer = router::AnswerText(buffer.data(), buffer.size());
  } else if (text) {
    answer = std::string(text, ::strnlen(text, kMaxForeignAnswer));
  }
  WriteAll(fd, &status, 1);
  WriteAll(fd, answer.data(), answer.size());
  ::_exit(0);
}

// What the helper reads on its standard input: export, library, address, user and password,
// each ending with a NUL (none of them can hold one), then the request up to the end.
std::string HelperInput(const std::string& exportName, const std::string& lib, const std::string& address,
                        const std::string& user, const std::string& password, const std::string& request) {
  std::string in;
  for (const std::string* s : {&exportName, &lib, &address, &user, &password}) {
    in += *s;
    in += '\0';
  }
  return in + request;
}

// Starts the child: the helper program (a fresh process, so no lock another thread of this one
// held at the fork can hold up the plug-in) with the call's fields sent over a socket, or a fork
// of this process that makes the call itself when there is no helper. fd receives the reply.
pid_t StartChild(const std::string& lib, const std::string& exportName, const std::string& address,
                 const std::string& user, const std::string& password, const std::string& request, int& fd) {
  const std::string helper = PluginHelperPath().string();
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return -1;
  // Everything the child needs is made before the fork: after it, in a child of a threaded
  // process, only async-signal-safe calls (dup2, execv, _exit) are made on the helper's way.
  char* const argv[] = {const_cast<char*>(helper.c_str()), nullptr};
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(sv[0]);
    ::close(sv[1]);
    return -1;
  }
  if (pid == 0) {
    ::close(sv[0]);
    if (!helper.empty()) {
      if (::dup2(sv[1], 0) < 0 || ::dup2(sv[1], 1) < 0) ::_exit(1);
      ::execv(argv[0], argv);
      ::_exit(1);
    }
    ::signal(SIGPIPE, SIG_IGN);
    RunChild(sv[1], lib.c_str(), exportName.c_str(), address.c_str(), user.c_str(), password.c_str(), request);
  }
  ::close(sv[1]);
  if (!helper.empty()) {
    const std::string in = HelperInput(exportName, lib, address, user, password, request);
    // The helper reads all of its input before it answers, so this cannot wait on the reply.
    size_t sent = 0;
    while (sent < in.size()) {
      const ssize_t n = ::send(sv[0], in.data() + sent, in.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the helper is gone; the reply is then empty
      sent += static_cast<size_t>(n);
    }
    ::shutdown(sv[0], SHUT_WR);
  }
  fd = sv[0];
  return pid;
}

// Starts the child, collects what it writes until it closes its end or the time is up, and
// reaps it. False when the child wrote nothing or ended abnormally.
bool RunInChild(const std::filesystem::path& library, const std::string& exportName, const std::string& address,
                const std::string& user, const std::string& password, const std::string& request, int timeoutMs,
                std::string& out) {
  int rfd = -1;
  const pid_t pid = StartChild(library.string(), exportName, address, user, password, request, rfd);
  if (pid < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ScaledMs(timeoutMs));
  bool timedOut = false;
  char chunk[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{rfd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) break;
    if (r == 0) continue;
    const ssize_t n = ::read(rfd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(chunk, static_cast<size_t>(n));
    if (out.size() > kMaxForeignAnswer + 16) {
      timedOut = true;  // more than any answer may hold
      break;
    }
  }
  ::close(rfd);
  if (timedOut) ::kill(pid, SIGKILL);
  int st = 0;
  while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  return !timedOut && WIFEXITED(st) && WEXITSTATUS(st) == 0 && !out.empty();
}

}  // namespace

std::filesystem::path PluginHelperPath() {
  std::error_code ec;
  if (const char* v = std::getenv("KESTROVA_PLUGIN_HELPER"); v && *v) {
    const std::filesystem::path p(v);
    return std::filesystem::is_regular_file(p, ec) ? p : std::filesystem::path();
  }
  const std::filesystem::path exe = ExecutablePath();
  if (exe.empty()) return {};
  const std::filesystem::path p = exe.parent_path() / kPluginHelperName;
  return std::filesystem::is_regular_file(p, ec) ? p : std::filesystem::path();
}

int PluginHelperMain() {
  std::string in;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(0, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    in.append(chunk, static_cast<size_t>(n));
    if (in.size() > router::kPluginBufferSize + 65536) return 1;  // more than any call sends
  }
  std::string field[5];
  size_t at = 0;
  for (std::string& f : field) {
    const size_t nul = in.find('\0', at);
    if (nul == std::string::npos) return 1;
    f = in.substr(at, nul - at);
    at = nul + 1;
  }
  if (in.size() - at >= router::kPluginBufferSize) return 1;  // the call never sends one this long
  ::signal(SIGPIPE, SIG_IGN);
  RunChild(1, field[1].c_str(), field[0].c_str(), field[2].c_str(), field[3].c_str(), field[4].c_str(), in.substr(at));
}

int CallPlugin(const std::filesystem::path& library, const std::string& exportName, const std::string& routerAddress,
               const std::string& user, const std::string& password, std::string& text, int timeoutMs) {
  if (text.size() >= router::kPluginBufferSize) return router::kPluginBadParameters;
  if (exportName != "GetPortForward" && exportName != "SetPortForward") return router::kPluginProgramError;
  std::string out;
  if (!RunInChild(library, exportName, routerAddress, user, password, text, timeoutMs, out))
    return router::kPluginProgramError;
  text = out.substr(1);
  return static_cast<unsigned char>(out[0]);
}

std::string FileVersionText(const std::filesystem::path& library) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(library, ec)) return {};
  std::string out;
  if (!RunInChild(library, "FileVersion", "", "", "", "", 10000, out) || out.size() != 1 + sizeof(uint64_t)) return {};
  uint64_t v = 0;
  std::memcpy(&v, out.data() + 1, sizeof v);
  return router::FormatFileVersion(v);
}

}  // namespace kestrova
