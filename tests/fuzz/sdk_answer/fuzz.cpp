// Arbitrary datagrams as the stand-in SDK library receives them: search answers and
// configuration answers. An answer is read only when it is whole; its texts never run past
// their fields, and what is read builds back into a request of the right size.
#include <cstdint>
#include <cstdlib>

#include "client_wire.h"

using namespace kestrova::sdksim;

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ByteView d(data, size);
  if (auto a = ParseSearchAnswer(d)) {
    Check(size == 200);
    Check(a->name.size() <= 32 && a->model.size() <= 16 && a->ip.size() <= 16 && a->netMask.size() <= 16 &&
          a->gateway.size() <= 16 && a->dns.size() <= 16 && a->auxAddr.size() <= 64);
    ConfigRequest r;
    r.seq = a->seq;
    r.mac = a->mac;
    r.name = a->name;
    r.ip = a->ip;
    r.auxAddr = a->auxAddr;
    Check(BuildConfigRequest(r).size() == 264);
  }
  if (auto c = ParseConfigAnswer(d)) Check(size == 16 && c->mac.size() == 6);
  return 0;
}
