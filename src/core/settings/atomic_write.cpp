// Replacing a settings file in one step, on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/settings/ini_file.h"

namespace kestrova {

bool WriteSyncClose(int fd, std::string_view bytes) {
  bool ok = true;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (ok && left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) { ok = false; break; }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  namespace fs = std::filesystem;
  if (path.empty()) return false;
  fs::path target = path;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec) return false;
    target = resolved;
  }
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";

  mode_t mode = 0644;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  }

  std::string tmpl = (dir / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  const bool modeSet = ::fchmod(fd, mode) == 0;
  bool ok = WriteSyncClose(fd, bytes) && modeSet;
  if (ok && ::rename(tmpl.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return false;
  }
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace kestrova
