// A private folder for one test, made fresh (never one that already existed) and removed with its
// content afterwards.
#pragma once

#include <filesystem>
#include <random>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace kestrova::test {

class TempDir {
 public:
  TempDir() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::random_device rd;
    for (int i = 0; !ec && i < 100 && path_.empty(); ++i) {
      const std::filesystem::path p = base / ("kestrova-test-" + std::to_string(rd()));
      if (std::filesystem::create_directory(p, ec)) {
        std::filesystem::permissions(p, std::filesystem::perms::owner_all, ec);
        path_ = p;
      }
      ec.clear();
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace kestrova::test
