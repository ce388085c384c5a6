#include "net/router/plugin_host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/router/port_forward.h"
#include "core/router/router_list.h"
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

// Forks the child, collects what it writes until it closes the pipe or the time is up, and
// reaps it. False when the child wrote nothing or ended abnormally.
bool RunInChild(const std::filesystem::path& library, const std::string& exportName, const std::string& address,
                const std::string& user, const std::string& password, const std::string& request, int timeoutMs,
                std::string& out) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  const std::string lib = library.string();
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGPIPE, SIG_IGN);
    RunChild(fds[1], lib.c_str(), exportName.c_str(), address.c_str(), user.c_str(), password.c_str(), request);
  }
  ::close(fds[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ScaledMs(timeoutMs));
  bool timedOut = false;
  char chunk[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) break;
    if (r == 0) continue;
    const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(chunk, static_cast<size_t>(n));
    if (out.size() > kMaxForeignAnswer + 16) {
      timedOut = true;  // more than any answer may hold
      break;
    }
  }
  ::close(fds[0]);
  if (timedOut) ::kill(pid, SIGKILL);
  int st = 0;
  while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  return !timedOut && WIFEXITED(st) && WEXITSTATUS(st) == 0 && !out.empty();
}

}  // namespace

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
