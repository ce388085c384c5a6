// option.ini in two layers: the machine file in the program folder (read only, used when it
// exists at construction) and the per-user file (read and written). The per-user value wins
// over the machine value, which wins over the default.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/settings/ini_file.h"

namespace kestrova {

class TOptionFile {
 public:
  // programDir: the program folder. userDir: the per-user folder (created with missing parents);
  // when empty, the program folder is used.
  TOptionFile(const std::string& fileName, const std::filesystem::path& programDir,
              const std::filesystem::path& userDir);

  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  // Write to the per-user file; false when it was not written (see UserFileReadFailed).
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);

  const std::filesystem::path& UserFilePath() const { return user_.FileName(); }
  // The per-user file exists but could not be read: its values are not seen and every write is
  // refused (it is never replaced by what little this object holds).
  bool UserFileReadFailed() const { return user_.ReadFailed(); }

 private:
  std::optional<TIniFile> machine_;
  TIniFile user_;
};

}  // namespace kestrova
