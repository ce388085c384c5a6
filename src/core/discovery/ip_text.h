// Address and byte-text helpers used by the discovery and settings codecs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// The four bytes as four decimal numbers joined by '.', in stored order ("192.168.1.20").
std::string IPBytesToStr(std::span<const uint8_t, 4> bytes);

// Dotted decimal to four bytes in written order. The text must be exactly four '.'-separated
// decimal numbers 0..255 (digits only, no blanks); anything else gives nullopt, so a bad
// address is never sent as some other address.
std::optional<std::array<uint8_t, 4>> IPStrToBytes(std::string_view text);

// Whether text is an IPv4 address in dotted-quad form: exactly four decimal numbers 0..255
// joined by '.', each without sign, blank or leading zero ("192.168.1.20"; not
// "192.168.001.020", which other readers take as octal, nor "1.2.3.4:80", "x@1.2.3.4", a host
// name or trailing bytes). Every address a device reports passes this test before a record
// keeps it, and nothing else is ever put into a URL or used as a connection target.
bool IsIPv4Text(std::string_view text);

// Whether an IPv4 address text names a host of the local networks: loopback 127/8, the private
// ranges 10/8, 172.16/12, 192.168/16 and link-local 169.254/16. False for any text IsIPv4Text
// refuses. Requests to such hosts (the cameras) never go through a proxy.
bool IsLanIPv4Text(std::string_view text);

// Whether an IPv4 address text may be the target of a connection to a camera: IsIPv4Text, and
// neither 0.x.x.x ("this host": a connection would reach the PC itself) nor 224.0.0.0 and above
// (multicast, reserved, broadcast).
bool IsUnicastIPv4Text(std::string_view text);

// Whether text may stand as the host of a URL built from texts a device or service reported (a
// DDNS server or the camera's outer address): 1..253 letters, digits, '-', '_' and '.', so that
// no user part, port, path or query can ride along and send the request elsewhere.
bool IsHostNameText(std::string_view text);

// n bytes from the first 2n hex digits of text (either case). Always returns n bytes: decoding
// stops at the first pair that is missing or not hex, and the remaining bytes stay zero. *ok
// (when given) tells whether all n bytes were decoded.
std::vector<uint8_t> HexToBytes(std::string_view text, std::size_t n, bool* ok = nullptr);

// Bytes as lower-case hex digits without separators ("001122aabbcc").
std::string BytesToHexLower(std::span<const uint8_t> bytes);

// Address order of the device list: split both texts at '.'; with different numbers of parts,
// the case-insensitive text comparison; otherwise part by part as decimal numbers (a part that
// is not a number counts as 0), the first unequal pair decides. Returns -1, 0 or 1.
int CompareIP(std::string_view a, std::string_view b);

// Case-insensitive (ASCII) text comparison: -1, 0 or 1.
int CompareTextNoCase(std::string_view a, std::string_view b);

}  // namespace kestrova
