#include "bytes.h"

#include <cstdio>

namespace kestrova::camsim {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<std::array<uint8_t, 4>> ParseIPv4(std::string_view s) {
  std::array<uint8_t, 4> a{};
  size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= s.size() || s[pos] != '.') return std::nullopt;
      ++pos;
    }
    int v = 0, digits = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && digits < 4) {
      v = v * 10 + (s[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || digits > 3 || v > 255) return std::nullopt;
    a[part] = uint8_t(v);
  }
  if (pos != s.size()) return std::nullopt;
  return a;
}

std::string IPv4ToText(const std::array<uint8_t, 4>& a) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
  return buf;
}

std::optional<Bytes> ParseHex(std::string_view s, size_t n) {
  if (s.size() != 2 * n) return std::nullopt;
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) {
    int hi = HexDigit(s[2 * i]), lo = HexDigit(s[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out[i] = uint8_t(hi * 16 + lo);
  }
  return out;
}

std::optional<std::array<uint8_t, 6>> ParseMac(std::string_view s) {
  std::string digits;
  for (char c : s) {
    if (c == ':' || c == '-') continue;
    digits.push_back(c);
  }
  auto b = ParseHex(digits, 6);
  if (!b) return std::nullopt;
  std::array<uint8_t, 6> a{};
  for (int i = 0; i < 6; ++i) a[i] = (*b)[i];
  return a;
}

std::optional<int> MaskPrefix(std::string_view mask) {
  auto a = ParseIPv4(mask);
  if (!a) return std::nullopt;
  uint32_t v = uint32_t((*a)[0]) << 24 | uint32_t((*a)[1]) << 16 | uint32_t((*a)[2]) << 8 | (*a)[3];
  int n = 0;
  while (n < 32 && (v & (0x80000000u >> n))) ++n;
  uint32_t expect = n == 0 ? 0 : (0xFFFFFFFFu << (32 - n));
  if (v != expect) return std::nullopt;
  return n;
}

std::string HexDump(ByteView b, size_t max) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < b.size() && i < max; ++i) {
    std::snprintf(buf, sizeof buf, "%02x", b[i]);
    s += buf;
  }
  if (b.size() > max) s += "..";
  return s;
}

}  // namespace kestrova::camsim
