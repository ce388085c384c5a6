// One datagram of the kernel's address dump from arbitrary bytes, at an odd offset as well as an
// aligned one (the reader must not depend on alignment): the same records either way, and no
// read outside the datagram (AddressSanitizer watches the copy, which has no slack after it).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "net/hostnet/netlink_addrs.h"

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<TKernelAddr> aligned, odd;
  std::unique_ptr<uint8_t[]> a(new uint8_t[size]);
  if (size) std::memcpy(a.get(), data, size);
  const bool doneA = ReadAddrDump(a.get(), size, aligned);
  std::unique_ptr<uint8_t[]> b(new uint8_t[size + 1]);
  if (size) std::memcpy(b.get() + 1, data, size);
  const bool doneB = ReadAddrDump(b.get() + 1, size, odd);
  if (doneA != doneB || aligned.size() != odd.size()) std::abort();
  for (size_t i = 0; i < aligned.size(); ++i) {
    if (aligned[i].addr != odd[i].addr || aligned[i].ifindex != odd[i].ifindex ||
        aligned[i].dynamic != odd[i].dynamic)
      std::abort();
  }
  // Each record needs a message header and an address message at the least.
  if (aligned.size() > size / 24) std::abort();
  return 0;
}
