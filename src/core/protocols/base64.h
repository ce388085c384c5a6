// Base64 (standard alphabet, "=" padding).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova {

// In lines of 76 characters: CR LF after every 76 output characters except after the last
// line. Output length 4*ceil(n/3) + 2*floor((n-1)/57); empty input gives empty text.
std::string EncodeBase64(std::string_view data);

// One line, no CR LF anywhere: the form an HTTP header value needs.
std::string EncodeBase64NoBreaks(std::string_view data);

}  // namespace kestrova
