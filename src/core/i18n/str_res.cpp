// The language folder: written at start, removed by the last instance that used it.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "core/i18n/lang.h"
#include "core/settings/ini_file.h"

namespace kestrova {

namespace {

// Neither the lock file nor the temporaries hold ".l", so a listing of "*.l*" (the language
// files) never shows them.
constexpr const char* kLockName = "in-use";
constexpr int kOpenAttempts = 8;

// Empties the directory open at fd without following any symbolic link; errors are ignored.
void EmptyDir(int fd) {
  int dup = ::dup(fd);
  if (dup < 0) return;
  DIR* d = ::fdopendir(dup);
  if (!d) {
    ::close(dup);
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != ".." && n != kLockName) names.push_back(n);
  }
  ::closedir(d);
  for (const auto& n : names) {
    struct stat st {};
    if (::fstatat(fd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      int sub = ::openat(fd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        ::fchmod(sub, 0700);
        EmptyDir(sub);
        // A sub-folder may hold a lock file of its own name; remove it as well.
        ::unlinkat(sub, kLockName, 0);
        ::close(sub);
      }
      ::unlinkat(fd, n.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(fd, n.c_str(), 0);
    }
  }
}

bool WriteAt(int dirFd, const std::string& name, std::string_view bytes) {
  std::string tmp;
  int fd = -1;
  for (int i = 0; i < 100 && fd < 0; ++i) {
    tmp = "part-" + std::to_string(::getpid()) + "-" + std::to_string(i);
    fd = ::openat(dirFd, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteSyncClose(fd, bytes);
  if (ok && ::renameat(dirFd, tmp.c_str(), dirFd, name.c_str()) != 0) ok = false;
  if (!ok) ::unlinkat(dirFd, tmp.c_str(), 0);
  return ok;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

// Opens dir as the language folder: a real directory owned by this user, reached without
// following a symbolic link, made private, with its lock file held shared. The lock file is
// checked to be the one still linked in the folder and the folder the one still at the path,
// so that an instance ending at the same moment (which removes both) is noticed and the
// folder is made again.
bool TStrRes::OpenFolder(const std::filesystem::path& dir, bool mayCreate) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (mayCreate && ::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0) {
      if (errno == ENOENT && mayCreate) continue;
      return false;
    }
    struct stat st {};
    if (::fstat(dfd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
      ::close(dfd);
      return false;
    }
    if ((st.st_mode & 0777) != 0700 && ::fchmod(dfd, 0700) != 0) {
      ::close(dfd);
      return false;
    }
    int lfd = ::openat(dfd, kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lfd < 0) {
      ::close(dfd);
      if (errno == ENOENT && mayCreate) continue;
      return false;
    }
    int r;
    do r = ::flock(lfd, LOCK_SH); while (r != 0 && errno == EINTR);
    struct stat held {}, linked {}, atPath {};
    bool current = r == 0 && ::fstat(lfd, &held) == 0 &&
                   ::fstatat(dfd, kLockName, &linked, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(held, linked) &&
                   ::lstat(dir.c_str(), &atPath) == 0 && SameFile(atPath, st);
    if (!current) {
      ::close(lfd);
      ::close(dfd);
      if (r != 0) return false;
      continue;
    }
    dir_ = dir;
    dirFd_ = dfd;
    lockFd_ = lfd;
    return true;
  }
  return false;
}

void TStrRes::WriteFiles(const std::string& programBaseName) {
  bool ok = true;
  for (const auto& f : EmbeddedLanguageFiles())
    ok = WriteAt(dirFd_, programBaseName + ".l" + f.code, f.bytes) && ok;
  ok_ = ok;
}

TStrRes::TStrRes(const std::filesystem::path& languageDir, const std::string& programBaseName) {
  std::error_code ec;
  if (!languageDir.empty()) {
    std::filesystem::path parent = languageDir.parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    OpenFolder(languageDir, true);
  }
  if (dirFd_ < 0) {
    std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    if (ec || tmp.empty()) tmp = "/tmp";
    std::string tmpl = (tmp / (programBaseName + "-XXXXXX")).string();
    if (::mkdtemp(tmpl.data())) OpenFolder(tmpl, false);
  }
  if (dirFd_ >= 0) WriteFiles(programBaseName);
  SetLanguageLocation(dir_, programBaseName);
}

TStrRes::~TStrRes() {
  if (lockFd_ >= 0) {
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
      EmptyDir(dirFd_);
      ::unlinkat(dirFd_, kLockName, 0);
      // Removed through its path only when the path still leads to the folder we emptied.
      struct stat mine {}, atPath {};
      if (::fstat(dirFd_, &mine) == 0 && ::lstat(dir_.c_str(), &atPath) == 0 && SameFile(mine, atPath))
        ::rmdir(dir_.c_str());
    }
    ::close(lockFd_);  // releases the lock only now, after the folder is gone
  }
  if (dirFd_ >= 0) ::close(dirFd_);
}

}  // namespace kestrova
