#include "core/protocols/url_value.h"

namespace kestrova {

std::string UrlValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool encode = c <= 0x20 || c >= 0x7F || c == '#' || c == '%' || c == '&' ||
                  c == '+' || c == '=' || c == '?';
    if (encode) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace kestrova
