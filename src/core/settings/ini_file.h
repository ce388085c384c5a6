// INI files with the private-profile rules: section and key names compare case-insensitively,
// blanks around names and values are dropped, a value is returned up to 2047 characters,
// booleans are written 1/0 and any non-zero integer reads as true. Every INI read and write of
// the program goes through this class. Writes are atomic (temporary file, then rename).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

class TIniFile {
 public:
  TIniFile() = default;
  // Loads the file when it exists; a missing or unreadable file reads as empty.
  explicit TIniFile(std::filesystem::path path);
  // Parses INI text held in memory (no file behind it; writes only change memory).
  static TIniFile FromText(std::string_view text);

  const std::filesystem::path& FileName() const { return path_; }
  bool Reload();

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;  // key names

  // Each write updates memory and, with a file behind the object, rewrites the file atomically.
  // Returns false when the file could not be written (memory is updated all the same).
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);

  // The text as it would be saved (CR LF line ends).
  std::string ToText() const;

 private:
  struct Entry { std::string key, value; };
  struct Section { std::string name; std::vector<Entry> entries; };
  bool Save() const;
  void Parse(std::string_view text);
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);

  std::filesystem::path path_;
  std::vector<Section> sections_;
};

}  // namespace kestrova
