// Helpers for writing expected bytes by hand: hex text and (offset, bytes) patches over a
// zero-filled buffer.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::test {

inline std::vector<uint8_t> Hex(std::string_view hex) {
  std::vector<uint8_t> out;
  int hi = -1;
  for (char c : hex) {
    int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<uint8_t>(hi * 16 + v));
      hi = -1;
    }
  }
  return out;
}

inline std::vector<uint8_t> Ascii(std::string_view s) { return {s.begin(), s.end()}; }

// A buffer of `size` zero bytes with each (offset, bytes) pair written over it.
inline std::vector<uint8_t> Patched(size_t size, std::initializer_list<std::pair<size_t, std::vector<uint8_t>>> parts) {
  std::vector<uint8_t> out(size, 0);
  for (const auto& [off, bytes] : parts)
    for (size_t i = 0; i < bytes.size(); ++i) out.at(off + i) = bytes[i];
  return out;
}

}  // namespace kestrova::test
