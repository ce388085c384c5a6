#include "core/settings/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kestrova {

namespace {

constexpr std::size_t kMaxValue = 2047;           // longest value a read returns
constexpr std::uintmax_t kMaxFileSize = 64u << 20;  // larger files read as empty

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Cuts a value to the longest prefix a read returns, without splitting a UTF-8 sequence.
std::string Cut(std::string_view v) {
  if (v.size() <= kMaxValue) return std::string(v);
  // When the first byte left out continues a UTF-8 sequence, the cut goes before that
  // sequence's lead byte (at most three steps back, so bytes that are not UTF-8 cut plainly).
  std::size_t n = kMaxValue;
  for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80; ++back) --n;
  if ((static_cast<unsigned char>(v[n]) & 0xC0) == 0x80) n = kMaxValue;
  return std::string(v.substr(0, n));
}

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

TIniFile::TIniFile(std::filesystem::path path) : path_(std::move(path)) { Reload(); }

TIniFile TIniFile::FromText(std::string_view text) {
  TIniFile ini;
  ini.Parse(text);
  return ini;
}

bool TIniFile::Reload() {
  sections_.clear();
  readFailed_ = false;
  if (path_.empty()) return false;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(path_, ec);
  if (st.type() == fs::file_type::not_found) return false;  // missing: created by the first write
  // From here on the file is there but cannot be taken as read.
  readFailed_ = true;
  if (ec || st.type() != fs::file_type::regular) return false;
  auto size = fs::file_size(path_, ec);
  if (ec || size > kMaxFileSize) return false;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  Parse(text);
  readFailed_ = false;
  return true;
}

void TIniFile::Parse(std::string_view text) {
  sections_.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Section* cur = nullptr;
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view raw = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view line = Trim(raw);

    if (!line.empty() && line.front() == '[') {
      std::size_t close = line.find(']');
      std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      if (close != std::string_view::npos && !name.empty()) {
        sections_.push_back(Section{std::string(name), {}, false});
        cur = &sections_.back();
        continue;
      }
    }
    if (!cur) {
      sections_.push_back(Section{"", {}, true});
      cur = &sections_.back();
    }
    Entry e;
    std::size_t eq = line.find('=');
    std::string_view key = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
    if (cur->keptHead || line.empty() || line.front() == ';' || key.empty()) {
      e.kept = true;
      e.line = std::string(raw);
    } else {
      e.key = std::string(key);
      e.value = std::string(Trim(line.substr(eq + 1)));
    }
    cur->entries.push_back(std::move(e));
  }
}

const TIniFile::Section* TIniFile::FindSection(std::string_view name) const {
  for (const auto& s : sections_)
    if (!s.keptHead && SameName(s.name, name)) return &s;
  return nullptr;
}

TIniFile::Section* TIniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const TIniFile*>(this)->FindSection(name));
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  if (const Section* s = FindSection(section)) {
    for (const auto& e : s->entries)
      if (!e.kept && SameName(e.key, key)) return Cut(e.value);
  }
  return Cut(def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  if (!ValueExists(section, key)) return def;
  std::string v = ReadString(section, key, "");
  std::size_t i = 0;
  bool neg = false;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) neg = v[i++] == '-';
  if (i >= v.size() || v[i] < '0' || v[i] > '9') return def;
  long long n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (neg) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  if (n < INT_MIN) n = INT_MIN;
  return static_cast<int>(n);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  if (const Section* s = FindSection(section)) {
    for (const auto& e : s->entries)
      if (!e.kept && SameName(e.key, key)) return true;
  }
  return false;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> out;
  for (const auto& s : sections_) {
    if (s.keptHead) continue;
    bool seen = false;
    for (const auto& o : out) seen = seen || SameName(o, s.name);
    if (!seen) out.push_back(s.name);
  }
  return out;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> out;
  if (const Section* s = FindSection(section)) {
    for (const auto& e : s->entries) {
      if (e.kept) continue;
      bool seen = false;
      for (const auto& o : out) seen = seen || SameName(o, e.key);
      if (!seen) out.push_back(e.key);
    }
  }
  return out;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (readFailed_) return false;
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) ||
      HasLineBreakOrNul(value) || key.find('=') != key.npos || key.front() == ';' ||
      key.front() == '[' || section.find(']') != section.npos)
    return false;
  Section* s = FindSection(section);
  if (!s) {
    sections_.push_back(Section{std::string(section), {}, false});
    s = &sections_.back();
  }
  Entry* found = nullptr;
  for (auto& e : s->entries)
    if (!e.kept && SameName(e.key, key)) { found = &e; break; }
  if (found) {
    found->value = std::string(value);
  } else {
    // New keys go after the last key of the section, ahead of trailing blank or comment lines.
    std::size_t at = s->entries.size();
    while (at > 0 && s->entries[at - 1].kept) --at;
    Entry e;
    e.key = std::string(key);
    e.value = std::string(value);
    s->entries.insert(s->entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(e));
  }
  return path_.empty() ? true : Save();
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

std::string TIniFile::ToText() const {
  std::string out;
  // A kept first line that itself starts with a byte-order mark gets one more in front, since
  // reading drops the first; otherwise that line would read back as something else.
  if (!sections_.empty() && sections_.front().keptHead && !sections_.front().entries.empty() &&
      sections_.front().entries.front().line.rfind("\xEF\xBB\xBF", 0) == 0)
    out = "\xEF\xBB\xBF";
  for (const auto& s : sections_) {
    if (!s.keptHead) out += "[" + s.name + "]\r\n";
    for (const auto& e : s.entries) {
      if (e.kept)
        out += e.line;
      else
        out += e.key + "=" + e.value;
      out += "\r\n";
    }
  }
  return out;
}

bool TIniFile::Save() const { return WriteFileAtomically(path_, ToText()); }

}  // namespace kestrova
