// Small helpers to lay out and read fixed-offset datagrams. Every reader checks the bounds of
// the bytes it was given; every writer writes into a buffer already sized to the message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::camsim {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

inline void PutU8(Bytes& b, size_t off, uint8_t v) { b.at(off) = v; }
inline void PutLe16(Bytes& b, size_t off, uint16_t v) {
  b.at(off) = uint8_t(v & 0xFF);
  b.at(off + 1) = uint8_t(v >> 8);
}
inline void PutBe16(Bytes& b, size_t off, uint16_t v) {
  b.at(off) = uint8_t(v >> 8);
  b.at(off + 1) = uint8_t(v & 0xFF);
}
inline void PutLe32(Bytes& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(off + i) = uint8_t(v >> (8 * i));
}
inline void PutRaw(Bytes& b, size_t off, ByteView src) {
  for (size_t i = 0; i < src.size(); ++i) b.at(off + i) = src[i];
}

// Length of the longest prefix of s that is at most max bytes and does not split a UTF-8
// sequence (plain 8-bit text that is not UTF-8 is simply cut at max).
inline size_t Utf8Prefix(std::string_view s, size_t max) {
  if (s.size() <= max) return s.size();
  size_t n = max;
  // Step back over continuation bytes to the start of the cut character.
  size_t back = 0;
  while (n > 0 && back < 3 && (uint8_t(s[n]) & 0xC0) == 0x80) { --n; ++back; }
  if ((uint8_t(s[n]) & 0xC0) == 0x80) return max;  // not UTF-8 after all
  return n;
}

// Text into a fixed field. With keepNul the text is cut so that a terminating zero still fits;
// without it the text may fill the whole field.
inline void PutText(Bytes& b, size_t off, size_t width, std::string_view s, bool keepNul = true) {
  size_t n = Utf8Prefix(s, keepNul ? width - 1 : width);
  for (size_t i = 0; i < n; ++i) b.at(off + i) = uint8_t(s[i]);
}

inline uint8_t GetU8(ByteView b, size_t off) { return off < b.size() ? b[off] : 0; }
inline uint16_t GetLe16(ByteView b, size_t off) {
  return uint16_t(GetU8(b, off) | (GetU8(b, off + 1) << 8));
}
inline uint16_t GetBe16(ByteView b, size_t off) {
  return uint16_t((GetU8(b, off) << 8) | GetU8(b, off + 1));
}
inline uint32_t GetLe32(ByteView b, size_t off) {
  return uint32_t(GetU8(b, off)) | uint32_t(GetU8(b, off + 1)) << 8 |
         uint32_t(GetU8(b, off + 2)) << 16 | uint32_t(GetU8(b, off + 3)) << 24;
}
// Text of a fixed field: up to the first zero or the field's end, never beyond the bytes given.
inline std::string GetText(ByteView b, size_t off, size_t width) {
  std::string s;
  for (size_t i = 0; i < width && off + i < b.size(); ++i) {
    if (b[off + i] == 0) break;
    s.push_back(char(b[off + i]));
  }
  return s;
}
inline bool HasPrefix(ByteView b, std::initializer_list<uint8_t> p) {
  if (b.size() < p.size()) return false;
  size_t i = 0;
  for (uint8_t c : p) if (b[i++] != c) return false;
  return true;
}
inline bool HasTextPrefix(ByteView b, std::string_view p) {
  if (b.size() < p.size()) return false;
  for (size_t i = 0; i < p.size(); ++i) if (b[i] != uint8_t(p[i])) return false;
  return true;
}

// Dotted quad to four bytes; nothing when the text is not four numbers 0..255.
std::optional<std::array<uint8_t, 4>> ParseIPv4(std::string_view s);
std::string IPv4ToText(const std::array<uint8_t, 4>& a);
// Six bytes from "00:11:22:aa:bb:cc", "00-11-22-AA-BB-CC" or twelve hex digits.
std::optional<std::array<uint8_t, 6>> ParseMac(std::string_view s);
// n bytes from 2n hex digits (either case).
std::optional<Bytes> ParseHex(std::string_view s, size_t n);
// Prefix length of a dotted mask (255.255.255.0 -> 24); nothing when not a contiguous mask.
std::optional<int> MaskPrefix(std::string_view mask);
std::string HexDump(ByteView b, size_t max = 32);

}  // namespace kestrova::camsim
