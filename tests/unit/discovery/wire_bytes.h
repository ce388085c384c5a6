// Helpers to write datagrams in tests as they appear in the byte tables: hex text, fixed-width
// NUL-padded texts and zero runs, concatenated in table order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kestrova::test {

using Bytes = std::vector<uint8_t>;

// "10 10 01 8f" -> bytes; blanks and line breaks are skipped.
inline Bytes Hex(std::string_view text) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  int hi = -1;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\t') continue;
    int d = digit(c);
    if (d < 0) throw std::invalid_argument("bad hex in test vector");
    if (hi < 0) {
      hi = d;
    } else {
      out.push_back(static_cast<uint8_t>(hi << 4 | d));
      hi = -1;
    }
  }
  if (hi >= 0) throw std::invalid_argument("odd hex in test vector");
  return out;
}

// A text in a field of the given width, the rest zero (the text must fit).
inline Bytes Text(std::string_view s, std::size_t width) {
  if (s.size() > width) throw std::invalid_argument("text wider than its field");
  Bytes out(s.begin(), s.end());
  out.resize(width, 0);
  return out;
}

// The bare bytes of a text (no terminator).
inline Bytes Raw(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Every proper prefix of a datagram, each in its own exactly sized buffer (so a read past the
// end is caught by the sanitizers).
inline std::vector<Bytes> Prefixes(const Bytes& full) {
  std::vector<Bytes> out;
  for (std::size_t n = 0; n < full.size(); ++n) out.emplace_back(full.begin(), full.begin() + n);
  return out;
}

}  // namespace kestrova::test
