// A private set of folders for one run of the application shell: program folder, per-user
// folder, language folder and runtime folder under a fresh temporary directory.
#pragma once

#include <filesystem>
#include <string>

namespace kestrova::testing {

class TempFolders {
 public:
  TempFolders();
  ~TempFolders();
  TempFolders(const TempFolders&) = delete;
  TempFolders& operator=(const TempFolders&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path ProgramDir() const { return root_ / "prog"; }
  std::filesystem::path UserDir() const { return root_ / "user"; }
  // Writes a file (parents created).
  static void Write(const std::filesystem::path& file, const std::string& text);
  static std::string Read(const std::filesystem::path& file);

 private:
  std::filesystem::path root_;
};

}  // namespace kestrova::testing
