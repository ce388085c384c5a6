#include "core/hostnet/net_card.h"

#include "core/discovery/ip_text.h"

namespace kestrova {

std::string CutToField(std::string_view text, size_t field) {
  if (field == 0) return {};
  return std::string(text.substr(0, field - 1));
}

std::string MacToText(const uint8_t* bytes, size_t count) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  if (!bytes) return out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out.push_back('-');
    out.push_back(kHex[bytes[i] >> 4]);
    out.push_back(kHex[bytes[i] & 0x0F]);
  }
  return out;
}

bool IsListableCard(const TNET_CARD& card) { return !card.IP.empty() && card.IP != "0.0.0.0"; }

std::optional<uint32_t> ParseIPv4(std::string_view text) {
  auto bytes = IPStrToBytes(text);
  if (!bytes) return std::nullopt;
  return (uint32_t((*bytes)[0]) << 24) | (uint32_t((*bytes)[1]) << 16) | (uint32_t((*bytes)[2]) << 8) |
         uint32_t((*bytes)[3]);
}

std::string FormatIPv4(uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." +
         std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

bool IsContiguousMask(uint32_t mask) {
  uint32_t inv = ~mask;
  return (inv & (inv + 1)) == 0;
}

bool IsHostInSubnet(uint32_t ip, uint32_t net, uint32_t mask) {
  if ((ip & mask) != (net & mask)) return false;
  if (mask >= 0xFFFFFFFEu) return true;  // /31 and /32 have no network or broadcast address
  uint32_t host = ip & ~mask;
  return host != 0 && host != ~mask;
}

}  // namespace kestrova
