#include "core/protocols/base64.h"

namespace kestrova {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineChars = 76;
}  // namespace

std::string EncodeBase64NoBreaks(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    uint32_t v = (uint32_t(uint8_t(data[i])) << 16) | (uint32_t(uint8_t(data[i + 1])) << 8) |
                 uint32_t(uint8_t(data[i + 2]));
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = data.size() - i;
  if (rest == 1) {
    uint32_t v = uint32_t(uint8_t(data[i])) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    uint32_t v = (uint32_t(uint8_t(data[i])) << 16) | (uint32_t(uint8_t(data[i + 1])) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string EncodeBase64(std::string_view data) {
  std::string flat = EncodeBase64NoBreaks(data);
  std::string out;
  out.reserve(flat.size() + flat.size() / kLineChars * 2);
  for (size_t i = 0; i < flat.size(); i += kLineChars) {
    if (i) out += "\r\n";
    out.append(flat, i, kLineChars);
  }
  return out;
}

}  // namespace kestrova
