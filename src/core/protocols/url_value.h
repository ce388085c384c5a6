// Values placed into a request URL.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Percent-encodes (upper-case hex) every byte that would break or extend a URL's query: blank,
// '#', '%', '&', '+', '=', '?', every control byte (< 0x20, 0x7F) and every non-ASCII
// byte (>= 0x80). Every other byte stays as it is, so ordinary user names, passwords, SSIDs and
// addresses are sent byte for byte.
std::string UrlValue(std::string_view value);

}  // namespace kestrova
