// Replacing a settings file in one step, on Windows: a temporary file beside the target,
// flushed, then moved over it with MoveFileExW (write-through).
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "core/settings/ini_file.h"

namespace kestrova {

bool WriteSyncClose(int fd, std::string_view bytes) {
  bool ok = true;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (ok && left > 0) {
    const unsigned chunk = left > (1u << 30) ? (1u << 30) : static_cast<unsigned>(left);
    int n = ::_write(fd, p, chunk);
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && ::_commit(fd) != 0) ok = false;
  if (::_close(fd) != 0) ok = false;
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
  const fs::file_status st = fs::status(target, ec);
  if (fs::exists(st) && !fs::is_regular_file(st)) return false;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";

  fs::path tmp;
  int fd = -1;
  for (int i = 0; i < 100 && fd < 0; ++i) {
    tmp = dir / ("." + target.filename().string() + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(i));
    if (::_wsopen_s(&fd, tmp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _SH_DENYRW,
                    _S_IREAD | _S_IWRITE) != 0) {
      fd = -1;
      if (errno != EEXIST) return false;
    }
  }
  if (fd < 0) return false;
  bool ok = WriteSyncClose(fd, bytes);
  if (ok && !::MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ok = false;
  if (!ok) {
    ::DeleteFileW(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace kestrova
