#include "core/hostnet/icmp_echo.h"

#include <cstring>

namespace kestrova {

uint16_t InternetChecksum(const uint8_t* data, size_t len) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < len; i += 2) sum += (uint32_t(data[i]) << 8) | data[i + 1];
  if (len & 1) sum += uint32_t(data[len - 1]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> IcmpEchoRequest(uint16_t id, uint16_t seq) {
  std::vector<uint8_t> pkt(16, 0);
  pkt[0] = 8;
  pkt[4] = uint8_t(id >> 8);
  pkt[5] = uint8_t(id);
  pkt[6] = uint8_t(seq >> 8);
  pkt[7] = uint8_t(seq);
  std::memcpy(pkt.data() + 8, "kvprobe!", 8);
  const uint16_t c = InternetChecksum(pkt.data(), pkt.size());
  pkt[2] = uint8_t(c >> 8);
  pkt[3] = uint8_t(c);
  return pkt;
}

bool IsIcmpEchoReply(const uint8_t* data, size_t size, bool withIpHeader, uint16_t id) {
  size_t off = 0;
  if (withIpHeader) {
    if (size < 20) return false;
    // Version 4 and a header of at least the fixed 20 bytes; anything else is not a datagram
    // this socket should deliver, and a shorter length would put the ICMP type inside it.
    if ((data[0] >> 4) != 4) return false;
    off = size_t(data[0] & 0x0F) * 4;
    if (off < 20) return false;
  }
  if (size < off + 8) return false;
  const uint8_t* icmp = data + off;
  if (icmp[0] != 0 || icmp[1] != 0) return false;
  if (withIpHeader && ((uint16_t(icmp[4]) << 8) | icmp[5]) != id) return false;
  return true;
}

}  // namespace kestrova
