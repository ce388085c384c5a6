// A datagram on the probe's ICMP socket from arbitrary bytes (the first byte says whether the
// socket delivers the IP header, the next two are the probe's identifier): the reply test never
// reads outside the datagram, and a datagram it accepts has an echo reply where it says.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/hostnet/icmp_echo.h"

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool raw = data[0] & 1;
  const uint16_t id = uint16_t(data[1] << 8 | data[2]);
  const size_t n = size - 3;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
  if (n) std::memcpy(copy.get(), data + 3, n);
  if (IsIcmpEchoReply(copy.get(), n, raw, id)) {
    const size_t off = raw ? size_t(copy[0] & 0x0F) * 4 : 0;
    if (off + 8 > n || copy[off] != 0 || copy[off + 1] != 0) std::abort();
    if (raw && (off < 20 || (copy[0] >> 4) != 4)) std::abort();
  }
  return 0;
}
