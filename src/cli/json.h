// Minimal JSON output for kestrova-cli: string escaping and an object writer.
//
// Device texts are bytes, not necessarily UTF-8. Valid UTF-8 sequences are written as they
// stand; every byte that is not part of a valid sequence is written as the code point of the
// same value (\u0080..\u00ff, its Latin-1 reading), so nothing is lost and the output is
// always valid JSON. Control characters, '"' and '\\' are escaped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/text/utf8.h"

namespace kestrova::cli {

using kestrova::Utf8SequenceLength;

inline std::string JsonString(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  char buf[8];
  for (std::size_t i = 0; i < s.size();) {
    const uint8_t c = static_cast<uint8_t>(s[i]);
    if (c == '"') { out += "\\\""; ++i; continue; }
    if (c == '\\') { out += "\\\\"; ++i; continue; }
    if (c < 0x20 || c == 0x7f) {
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
      }
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n == 0) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);  // a stray byte: its Latin-1 reading
      out += buf;
      ++i;
      continue;
    }
    out.append(s.substr(i, n));
    i += n;
  }
  out += '"';
  return out;
}

// Writes {"k": v, ...} with keys in the order they are added.
class JsonObject {
 public:
  JsonObject& Str(std::string_view key, std::string_view value) {
    Key(key);
    text_ += JsonString(value);
    return *this;
  }
  JsonObject& Num(std::string_view key, long long value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
  }
  JsonObject& Bool(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
  }
  // A value that is JSON already (a nested object).
  JsonObject& Raw(std::string_view key, std::string_view json) {
    Key(key);
    text_ += json;
    return *this;
  }
  std::string Done() const { return text_ + "}"; }

 private:
  void Key(std::string_view key) {
    text_ += first_ ? "" : ", ";
    first_ = false;
    text_ += JsonString(key);
    text_ += ": ";
  }
  std::string text_ = "{";
  bool first_ = true;
};

}  // namespace kestrova::cli
