// The family-9 (CGI family) UDP search: the 4-byte request and the answer parser. The engine
// sends the request from its own socket bound to local port 3565 and feeds every datagram
// that socket receives to ParseFamily9Answer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova {

// 44 48 01 01
std::vector<uint8_t> BuildFamily9Search();

// Length of the answer table (offsets 0..515).
inline constexpr std::size_t kFamily9AnswerSize = 516;
// An answer must hold at least the address and device part (offsets 0..323); the DDNS part
// behind it is read only where the answer holds it whole, else those fields stay empty.
inline constexpr std::size_t kFamily9AnswerMinSize = 324;
// The receiver reads at most this many bytes of a datagram.
inline constexpr std::size_t kFamily9ReceiveMax = 1024;

// A record with DevType 9 from a search answer (starting 44 48 01 08), or nullopt when the
// datagram is not one, is too short, or its address text is not a dotted-quad IPv4 address
// (the camera is not listed). Mask, gateway and DNS texts that are not addresses are emptied
// (KeepReportedAddresses). Never reads beyond data.
std::optional<TDevInfo> ParseFamily9Answer(std::span<const uint8_t> data);

}  // namespace kestrova
