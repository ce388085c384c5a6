// One local network adapter with its IPv4 settings, and the IPv4 helpers the adapter code and
// the address rules share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct TNET_CARD {
  std::string Desc;      // adapter description (shown in the adapter list), at most 255 bytes
  std::string MacText;   // "00-1A-2B-3C-4D-5E"; empty when the adapter has no hardware address
  std::string Gateway;   // default gateway, dotted decimal (at most 127 bytes, like the others)
  std::string IP;        // IPv4 address, dotted decimal; never empty or "0.0.0.0" in a list
  std::string NetMask;
  std::string DNS1;
  std::string DNS2;
  std::string ConnName;  // the connection's display name
  bool DhcpOn = false;   // the address comes from DHCP
  std::string IfName;    // the system's name of the interface ("eth0"); the probe's device
  bool operator==(const TNET_CARD&) const = default;
};

// Field widths of the record, counted with the terminating NUL of the fixed-size original.
inline constexpr size_t kDescField = 256;
inline constexpr size_t kAddrField = 128;

// Cuts text to a field of `field` bytes (field - 1 characters).
std::string CutToField(std::string_view text, size_t field);

// The bytes as two-digit upper-case hex numbers joined by '-'; empty for count 0.
std::string MacToText(const uint8_t* bytes, size_t count);

// Whether a record may be listed: its IP is neither empty nor "0.0.0.0".
bool IsListableCard(const TNET_CARD& card);

// IPv4 in host byte order (192.168.0.1 is 0xC0A80001). Strict dotted decimal.
std::optional<uint32_t> ParseIPv4(std::string_view text);
std::string FormatIPv4(uint32_t hostOrder);

// A mask is valid when its one bits are contiguous from the top (0.0.0.0 and 255.255.255.255
// included).
bool IsContiguousMask(uint32_t mask);

// ip lies in the subnet of (net, mask) and is neither that subnet's network address nor its
// broadcast address (for masks shorter than /31).
bool IsHostInSubnet(uint32_t ip, uint32_t net, uint32_t mask);

}  // namespace kestrova
