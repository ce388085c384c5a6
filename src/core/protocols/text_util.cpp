#include "core/protocols/text_util.h"

#include <charconv>
#include <limits>

namespace kestrova {

std::string_view TrimText(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

std::string TrimCopy(std::string_view s) { return std::string(TrimText(s)); }

int32_t TextToIntDef(std::string_view s, int32_t def) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  s = s.substr(b, e - b);
  if (s.empty()) return def;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return def;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return def;
    v = v * 10 + (c - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return def;
  }
  if (neg) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return def;
  return static_cast<int32_t>(v);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0, i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      out.push_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

}  // namespace kestrova
