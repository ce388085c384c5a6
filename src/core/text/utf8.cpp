#include "core/text/utf8.h"

#include <algorithm>
#include <cstdint>

namespace kestrova {

std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  if (i >= s.size()) return 0;
  const auto b = [&](std::size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(i);
  if (c < 0x80) return 1;
  std::size_t n;
  uint8_t lo = 0x80, hi = 0xbf;
  if (c >= 0xc2 && c <= 0xdf) {
    n = 2;
  } else if (c >= 0xe0 && c <= 0xef) {
    n = 3;
    if (c == 0xe0) lo = 0xa0;  // no overlong forms
    if (c == 0xed) hi = 0x9f;  // no surrogates
  } else if (c >= 0xf0 && c <= 0xf4) {
    n = 4;
    if (c == 0xf0) lo = 0x90;  // no overlong forms
    if (c == 0xf4) hi = 0x8f;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (b(i + k) < 0x80 || b(i + k) > 0xbf) return 0;
  return n;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string_view Utf8Prefix(std::string_view s, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < s.size()) {
    const std::size_t n = std::max<std::size_t>(Utf8SequenceLength(s, end), 1);
    if (end + n > maxBytes) break;
    end += n;
  }
  return s.substr(0, end);
}

std::string PrintableText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceLength(s, i);
    const uint8_t c = static_cast<uint8_t>(s[i]);
    // U+0080..U+009F is written C2 80..C2 9F.
    const bool control = n == 0 || c < 0x20 || c == 0x7f || (n == 2 && c == 0xc2 && static_cast<uint8_t>(s[i + 1]) < 0xa0);
    if (control) {
      out += '?';
      i += n ? n : 1;
      continue;
    }
    out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace kestrova
