// The language folder on Windows: written at start, removed by the last instance that used it.
// Each instance holds a shared lock on the folder's lock file; the one that ends and gets it
// exclusively removes the folder.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <system_error>

#include "core/i18n/lang.h"
#include "core/settings/ini_file.h"

namespace kestrova {

namespace {

// Neither the lock file nor the temporaries hold ".l", so a listing of "*.l*" (the language
// files) never shows them.
constexpr const wchar_t* kLockName = L"in-use";

HANDLE LockHandle(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

bool WriteIn(const std::filesystem::path& dir, const std::string& name, std::string_view bytes) {
  namespace fs = std::filesystem;
  const fs::path tmp = dir / ("part-" + std::to_string(::GetCurrentProcessId()));
  HANDLE h = ::CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    return false;
  }
  bool ok = WriteSyncClose(fd, bytes);
  if (ok && !::MoveFileExW(tmp.c_str(), (dir / name).c_str(), MOVEFILE_REPLACE_EXISTING)) ok = false;
  if (!ok) ::DeleteFileW(tmp.c_str());
  return ok;
}

}  // namespace

bool TStrRes::OpenFolder(const std::filesystem::path& dir, bool mayCreate) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (mayCreate) fs::create_directory(dir, ec);
  // A reparse point (link or junction) in its place is not followed.
  const DWORD attrs = ::GetFileAttributesW(dir.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  HANDLE h = ::CreateFileW((dir / kLockName).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED ov{};
  if (!::LockFileEx(h, 0, 0, 1, 0, &ov)) {
    ::CloseHandle(h);
    return false;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR);
  if (fd < 0) {
    ::CloseHandle(h);
    return false;
  }
  dir_ = dir;
  dirFd_ = fd;  // the folder itself is reached through dir_; the descriptor marks it in use
  lockFd_ = fd;
  return true;
}

void TStrRes::WriteFiles(const std::string& programBaseName) {
  bool ok = true;
  for (const auto& f : EmbeddedLanguageFiles()) ok = WriteIn(dir_, programBaseName + ".l" + f.code, f.bytes) && ok;
  ok_ = ok;
}

TStrRes::TStrRes(const std::filesystem::path& languageDir, const std::string& programBaseName) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!languageDir.empty()) {
    fs::path parent = languageDir.parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    OpenFolder(languageDir, true);
  }
  if (lockFd_ < 0) {
    fs::path tmp = fs::temp_directory_path(ec);
    for (int i = 0; !ec && i < 100 && lockFd_ < 0; ++i) {
      const fs::path cand =
          tmp / (programBaseName + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(i));
      if (fs::create_directory(cand, ec) && !ec) OpenFolder(cand, false);
      ec.clear();
    }
  }
  if (lockFd_ >= 0) WriteFiles(programBaseName);
  SetLanguageLocation(dir_, programBaseName);
}

TStrRes::~TStrRes() {
  if (lockFd_ < 0) return;
  HANDLE h = LockHandle(lockFd_);
  OVERLAPPED ov{};
  ::UnlockFileEx(h, 0, 1, 0, &ov);
  OVERLAPPED ex{};
  if (::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ex)) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir_, ec)) {
      if (e.path().filename() == kLockName) continue;
      std::error_code rm;
      std::filesystem::remove_all(e.path(), rm);
    }
    ::_close(lockFd_);
    lockFd_ = -1;
    ::DeleteFileW((dir_ / kLockName).c_str());
    ::RemoveDirectoryW(dir_.c_str());
    return;
  }
  ::_close(lockFd_);
}

}  // namespace kestrova
