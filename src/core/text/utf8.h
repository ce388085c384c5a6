// UTF-8 checks on device texts, which are bytes: a camera may send UTF-8 or a legacy code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

// Length of the valid UTF-8 sequence that starts at s[i] (shortest form, no surrogates, at most
// U+10FFFF), or 0 when the byte there starts none (or i is past the end).
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i);
bool IsValidUtf8(std::string_view s);
// The longest prefix of s of at most maxBytes bytes that does not end inside a valid UTF-8
// sequence. Bytes that are not UTF-8 count one by one, so other texts are cut plainly.
std::string_view Utf8Prefix(std::string_view s, std::size_t maxBytes);
// A device's text made safe for a terminal: every control character (C0, DEL and the C1 range
// written in UTF-8) and every byte that is not part of a valid UTF-8 sequence becomes '?'.
std::string PrintableText(std::string_view s);

}  // namespace kestrova
