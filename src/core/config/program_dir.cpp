#include "core/config/program_dir.h"

namespace kestrova {

std::filesystem::path ResolveProgramDir(std::string_view override, const std::filesystem::path& executable) {
  if (!override.empty()) return std::filesystem::path(override);
  std::filesystem::path dir = executable.parent_path();
  return dir.empty() ? std::filesystem::path(".") : dir;
}

}  // namespace kestrova
