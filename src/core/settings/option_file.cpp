#include "core/settings/option_file.h"

#include <system_error>

namespace kestrova {

TOptionFile::TOptionFile(const std::string& fileName, const std::filesystem::path& programDir,
                         const std::filesystem::path& userDir) {
  std::error_code ec;
  std::filesystem::path machinePath = programDir / fileName;
  if (std::filesystem::is_regular_file(machinePath, ec)) machine_.emplace(machinePath);
  std::filesystem::path dir = userDir.empty() ? programDir : userDir;
  std::filesystem::create_directories(dir, ec);  // a failure shows later as a failed write
  user_ = TIniFile(dir / fileName);
}

std::string TOptionFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& def) const {
  if (machine_) return user_.ReadString(section, key, machine_->ReadString(section, key, def));
  return user_.ReadString(section, key, def);
}

bool TOptionFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  if (machine_) return user_.ReadBool(section, key, machine_->ReadBool(section, key, def));
  return user_.ReadBool(section, key, def);
}

bool TOptionFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  return user_.WriteString(section, key, value);
}

bool TOptionFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return user_.WriteBool(section, key, value);
}

}  // namespace kestrova
