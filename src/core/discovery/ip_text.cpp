#include "core/discovery/ip_text.h"

namespace kestrova {

namespace {

std::vector<std::string_view> SplitDots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
}

// Decimal value of a part for sorting; anything that is not a number counts as 0.
int64_t PartNumber(std::string_view part) {
  bool negative = false;
  if (!part.empty() && (part[0] == '-' || part[0] == '+')) {
    negative = part[0] == '-';
    part.remove_prefix(1);
  }
  if (part.empty() || part.size() > 18) return 0;
  int64_t v = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return negative ? -v : v;
}

int AsciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string IPBytesToStr(std::span<const uint8_t, 4> bytes) {
  std::string out;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i) out.push_back('.');
    out += std::to_string(bytes[i]);
  }
  return out;
}

std::optional<std::array<uint8_t, 4>> IPStrToBytes(std::string_view text) {
  std::vector<std::string_view> parts = SplitDots(text);
  if (parts.size() != 4) return std::nullopt;
  std::array<uint8_t, 4> out{};
  for (std::size_t i = 0; i < 4; ++i) {
    std::string_view p = parts[i];
    if (p.empty() || p.size() > 3) return std::nullopt;
    int v = 0;
    for (char c : p) {
      if (c < '0' || c > '9') return std::nullopt;
      v = v * 10 + (c - '0');
    }
    if (v > 255) return std::nullopt;
    out[i] = static_cast<uint8_t>(v);
  }
  return out;
}

bool IsIPv4Text(std::string_view text) {
  if (!IPStrToBytes(text)) return false;
  // Four decimal parts: a part that starts with '0' must be "0" itself.
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool partStart = i == 0 || text[i - 1] == '.';
    const bool partGoesOn = i + 1 < text.size() && text[i + 1] != '.';
    if (partStart && text[i] == '0' && partGoesOn) return false;
  }
  return true;
}

bool IsLanIPv4Text(std::string_view text) {
  if (!IsIPv4Text(text)) return false;
  const std::array<uint8_t, 4> a = *IPStrToBytes(text);
  return a[0] == 127 || a[0] == 10 || (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168) ||
         (a[0] == 169 && a[1] == 254);
}

bool IsUnicastIPv4Text(std::string_view text) {
  if (!IsIPv4Text(text)) return false;
  const uint8_t first = (*IPStrToBytes(text))[0];
  return first != 0 && first < 224;
}

bool IsHostNameText(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  for (unsigned char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

std::vector<uint8_t> HexToBytes(std::string_view text, std::size_t n, bool* ok) {
  std::vector<uint8_t> out(n, 0);
  bool all = true;
  for (std::size_t i = 0; i < n; ++i) {
    if (2 * i + 1 >= text.size()) { all = false; break; }
    int hi = HexDigit(text[2 * i]);
    int lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) { all = false; break; }
    out[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  if (ok) *ok = all;
  return out;
}

std::string BytesToHexLower(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

int CompareTextNoCase(std::string_view a, std::string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    int ca = AsciiLower(static_cast<unsigned char>(a[i]));
    int cb = AsciiLower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareIP(std::string_view a, std::string_view b) {
  auto dots = [](std::string_view t) {
    std::size_t n = 0;
    for (char c : t) n += c == '.';
    return n;
  };
  if (dots(a) != dots(b)) return CompareTextNoCase(a, b);
  // Same number of parts: walk them side by side.
  std::size_t ia = 0, ib = 0;
  for (;;) {
    std::size_t ea = a.find('.', ia), eb = b.find('.', ib);
    std::string_view pa = a.substr(ia, ea == std::string_view::npos ? std::string_view::npos : ea - ia);
    std::string_view pb = b.substr(ib, eb == std::string_view::npos ? std::string_view::npos : eb - ib);
    int64_t x = PartNumber(pa), y = PartNumber(pb);
    if (x != y) return x < y ? -1 : 1;
    if (ea == std::string_view::npos || eb == std::string_view::npos) return 0;
    ia = ea + 1;
    ib = eb + 1;
  }
}

}  // namespace kestrova
