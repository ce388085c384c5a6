// ICMP echo messages of the address probe: the request the probe sends and the test that a
// received datagram is the reply to it. Bytes in, verdict out; nothing is read beyond the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrova {

// Internet checksum (one's complement sum of 16-bit big-endian words, odd byte padded).
uint16_t InternetChecksum(const uint8_t* data, size_t len);

// Echo request: type 8, code 0, checksum, identifier, sequence, an 8-byte payload.
std::vector<uint8_t> IcmpEchoRequest(uint16_t id, uint16_t seq);

// Whether data (size bytes as the socket delivered them) is an echo reply (type 0, code 0).
// withIpHeader: a raw socket, which delivers the IPv4 header first and every ICMP message of
// the host, so the header length must be sane and the identifier must be id; a ping socket
// delivers the ICMP message alone and rewrites the identifier itself.
bool IsIcmpEchoReply(const uint8_t* data, size_t size, bool withIpHeader, uint16_t id);

}  // namespace kestrova
