// The network-settings commands sent over UDP: family 2 (84 bytes), family 5 (CTP setip text,
// see ctp_message.h), family 8 (264 bytes, two NetBlocks) and the family-9 settings packet
// (324 bytes) with its answer. Each layout is declared once, as offsets and sizes, in
// setnet_packets.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova {

inline constexpr std::size_t kMOISetSize = 84;
inline constexpr std::size_t kNetBlockSize = 128;
inline constexpr std::size_t kBinSetSize = 264;
inline constexpr std::size_t kFamily9SetSize = 324;
inline constexpr std::size_t kFamily9SetAnswerSize = 328;
inline constexpr uint32_t kFamily9Accepted = 0x8000;

// The family-2 account fields: user name and password, 13 bytes each.
inline constexpr std::size_t kMOIAccountBytes = 13;

// Family 2: the 23-byte header (opcode 2, body length 61) and the body. Identity, user name
// and password are cut to 13 bytes, the account fields at a character boundary (never half a
// UTF-8 character). nullopt when one of IP, NetMask, Gateway, DNS1 is not four decimal numbers
// 0..255.
std::optional<std::vector<uint8_t>> BuildMOISet(const TDevInfo& newDev, std::string_view user,
                                                std::string_view password);

// A family-8 NetBlock from a record. The DHCP byte: the old block carries IPMode as stored;
// a new block carries 0 for a static address (IPMode 2) and 1 otherwise.
std::vector<uint8_t> BuildNetBlock(const TDevInfo& dev, bool isNewBlock);

// Family 8: header 10 10 02 0F 00 00 00 01, the old block, the new block.
std::vector<uint8_t> BuildBinSet(const TDevInfo& oldDev, const TDevInfo& newDev);

// The six bytes written in hex in a family-9 MAC text ("-" and ":" removed, blanks read as
// "0"); decoding stops at the first missing or invalid pair, the rest stays zero.
std::vector<uint8_t> Family9MacBytes(std::string_view mac);

// Family 9: 44 48 02 01 and the record's fields; each text is cut so that its terminating
// zero still fits into its field.
std::vector<uint8_t> BuildFamily9Set(const TDevInfo& dev, std::string_view user, std::string_view password);

enum class Family9SetAnswer {
  NotAnswer,  // does not begin with 44 48 02 08
  Accepted,   // status 0x8000
  Refused,    // any other status (a short answer reads as zero beyond its end)
};
Family9SetAnswer ParseFamily9SetAnswer(std::span<const uint8_t> data);

}  // namespace kestrova
