// The system texts the adapter list is read from (routing table, resolver configuration, both
// kinds of DHCP lease file, neighbour table), from arbitrary bytes: the first byte picks the
// text and, for the lookups, the name looked up; the rest is the text. Whatever comes in, every
// address handed on is a dotted quad (or empty) and every hardware address the lookup returns
// has the kernel's form.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/discovery/ip_text.h"
#include "core/hostnet/host_texts.h"

using namespace kestrova;

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
bool QuadOrEmpty(const std::string& t) { return t.empty() || IPStrToBytes(t).has_value(); }
bool HwAddr(const std::string& t) {
  if (t.size() != 17) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (i % 3 == 2 ? c != ':' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const char* const ifaces[] = {"eth0", "wlan0", "", "veth-pc"};
  const std::string_view iface = ifaces[(data[0] >> 3) & 3];
  switch (data[0] % 5) {
    case 0: {
      const auto routes = ParseProcNetRoute(text);
      for (const auto& r : routes) Check(!r.Iface.empty());
      Check(QuadOrEmpty(DefaultGatewayFor(routes, iface)));
      break;
    }
    case 1: {
      const TNameServers ns = ParseResolvConf(text);
      Check(QuadOrEmpty(ns.DNS1) && QuadOrEmpty(ns.DNS2));
      Check(ns.DNS2.empty() || !ns.DNS1.empty());
      (void)NamesOnlyLocalResolver(ns);
      break;
    }
    case 2:
      Check(QuadOrEmpty(ParseKeyValueLease(text)));
      break;
    case 3:
      Check(QuadOrEmpty(ParseDhclientLeases(text, iface)));
      break;
    case 4: {
      const auto table = ParseProcNetArp(text);
      for (const auto& e : table) {
        const std::string hw = ResolvedNeighbour(table, e.IP, e.Device);
        Check(hw.empty() || HwAddr(hw));
      }
      break;
    }
  }
  return 0;
}
