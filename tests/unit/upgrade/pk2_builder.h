// PK2 packages for the upgrade tests, built field by field from the package layout: a 28-byte
// header ("PK2", a zero, 20 unused bytes, the record count) and records of a 24-byte header
// (tag, 16 unused bytes, payload size) and their payload. All integers little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::testing {

inline std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

inline std::string Pk2Header(uint32_t count) { return std::string("PK2\0", 4) + std::string(20, 'v') + U32(count); }

inline std::string Pk2Record(std::string_view tag, std::string_view payload) {
  return std::string(tag) + std::string(16, '.') + U32(static_cast<uint32_t>(payload.size())) + std::string(payload);
}

// A FILE payload: name length, name, data length, data.
inline std::string Pk2FilePayload(std::string_view name, std::string_view data) {
  return U32(static_cast<uint32_t>(name.size())) + std::string(name) + U32(static_cast<uint32_t>(data.size())) +
         std::string(data);
}

// A package of one FILE record.
inline std::string Pk2OneFile(std::string_view name, std::string_view data) {
  return Pk2Header(1) + Pk2Record("FILE", Pk2FilePayload(name, data));
}

}  // namespace kestrova::testing
