#include "core/app/app_rules.h"

#include <algorithm>
#include <system_error>

#include "core/settings/ini_file.h"

namespace kestrova {

namespace {

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\n";
  std::size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

}  // namespace

std::string OnlineCdAddress(const std::string& value, const std::string& language) {
  if (language == "cn") return value;
  const std::string from = "_cn.";
  const std::string to = "_" + Trim(language) + ".";
  std::string out;
  out.reserve(value.size());
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = value.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(value, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(value, pos, std::string::npos);
  return out;
}

std::string LanguageCodeOfFile(const std::filesystem::path& file) {
  const std::string ext = file.extension().string();
  if (ext.size() < 2 || ext[0] != '.' || ext[1] != 'l') return {};
  return ext.substr(2);
}

std::vector<std::filesystem::path> ListLanguageFiles(const std::filesystem::path& dir,
                                                     const std::string& currentLanguage) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::filesystem::path& p = it->path();
    const std::string name = p.filename().string();
    if (name.empty() || name[0] == '.') continue;  // the folder's lock and temporary files
    if (p.extension().string().rfind(".l", 0) != 0) continue;
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    files.push_back(p);
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  const std::string key = "Name_" + currentLanguage;
  for (std::size_t i = files.size(); i-- > 0;) {
    TIniFile ini(files[i]);
    if (ini.ReadString("Global", key, "").empty()) files.erase(files.begin() + std::ptrdiff_t(i));
  }
  return files;
}

std::string StartLanguage(const std::string& stored, const std::string& defaultLanguage,
                          const std::function<bool(const std::string&)>& hasFile) {
  if (!stored.empty()) return stored;
  if (hasFile && hasFile(defaultLanguage)) return defaultLanguage;
  return "en";
}

}  // namespace kestrova
