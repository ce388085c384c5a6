// Small text helpers shared by the protocol codecs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// Drops leading and trailing blanks and control characters (every byte <= 0x20).
std::string_view TrimText(std::string_view s);
std::string TrimCopy(std::string_view s);

// A decimal integer (optional sign, digits only, blanks around it allowed); def when the text
// is anything else or does not fit into 32 bits.
int32_t TextToIntDef(std::string_view s, int32_t def);

// Splits text into lines: CR LF, a lone CR or a lone LF each end a line. A final line without
// a line end is kept; a text that ends with a line end gives no empty last line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Firmware versions compare as plain text, byte by byte (so "9.1.0.5" > "84.2.0.121").
inline bool VersionLess(std::string_view a, std::string_view b) { return a < b; }

}  // namespace kestrova
