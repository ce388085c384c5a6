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
  // Loads the file when it exists; a missing or unreadable file reads as empty. A file that
  // exists but could not be read (not a regular file, larger than 64 MiB, a read error) is
  // never written over: every write to it is refused, so that a later write cannot replace the
  // user's settings with one key.
  explicit TIniFile(std::filesystem::path path);
  // Parses INI text held in memory (no file behind it; writes only change memory).
  static TIniFile FromText(std::string_view text);

  const std::filesystem::path& FileName() const { return path_; }
  // True when the file was read (false for a missing file too).
  bool Reload();
  // The file exists but could not be read; writes are refused until a Reload succeeds.
  bool ReadFailed() const { return readFailed_; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;  // key names

  // Each write updates memory and, with a file behind the object, rewrites the file atomically.
  // Returns false when the file could not be written (memory is updated all the same), and
  // when the file could not be read (ReadFailed: nothing changed).
  // A section or key that is empty, or a name or value holding CR, LF or NUL (or "=" in a key,
  // "]" in a section name) would not read back as written: such a write is refused (false,
  // nothing changed).
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);

  // The text as it would be saved (CR LF line ends).
  std::string ToText() const;

 private:
  // A line of a section: a key with its value, or a line kept as it was read (comment, blank,
  // junk) so that rewriting the file does not lose it.
  struct Entry {
    std::string key, value;
    bool kept = false;
    std::string line;
  };
  // The lines before the first section header live in a leading section with keptHead set;
  // it is never found by name.
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    bool keptHead = false;
  };
  bool Save() const;
  void Parse(std::string_view text);
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);

  std::filesystem::path path_;
  std::vector<Section> sections_;
  bool readFailed_ = false;
};

// Replaces the file with the bytes: a temporary file in the same folder is written, flushed to
// disk and renamed over the target, so a reader or a crash sees either the old or the new file.
// A symbolic link at path is written through (its target is replaced). False on any failure;
// the old file is then left as it was and no temporary file stays behind.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Writes all bytes to an open descriptor (retrying short and interrupted writes), flushes them
// to disk and closes it. False when any step failed; the descriptor is closed in every case.
bool WriteSyncClose(int fd, std::string_view bytes);

}  // namespace kestrova
