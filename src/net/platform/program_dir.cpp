#include "net/platform/program_dir.h"

#include <cstdlib>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <iterator>
#endif

#include "core/config/program_dir.h"

namespace kestrova {

std::filesystem::path ExecutablePath() {
#ifdef _WIN32
  wchar_t buf[32768];
  const DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
  if (n == 0 || n >= std::size(buf)) return {};
  return std::filesystem::path(std::wstring(buf, n));
#else
  std::error_code ec;
  std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
#endif
}

std::filesystem::path ProgramDir() {
  const char* v = std::getenv(kProgramDirVariable);
  return ResolveProgramDir(v ? std::string_view(v) : std::string_view(), ExecutablePath());
}

}  // namespace kestrova
