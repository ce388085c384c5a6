// A search report of the SDK library from arbitrary bytes: the first 17 bytes give the
// hardware address (byte 0 odd: none), the ports and the DHCP flag; the rest is cut at NUL
// bytes into name, model, address, mask, gateway, auxiliary address and DNS server. Whatever
// comes in, a listed record names a camera (12 hex digits, a dotted-quad address), and the
// configuration call built back from it is sendable.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/discovery/ip_text.h"
#include "core/discovery/sdk_report.h"

using namespace kestrova;

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
int32_t I32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return int32_t(v);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 17) return 0;
  TSdkReport r;
  if (!(data[0] & 1)) {
    std::array<uint8_t, 6> mac;
    std::memcpy(mac.data(), data + 1, 6);
    r.mac = mac;
  }
  r.httpPort = I32(data + 7);
  r.dataPort = I32(data + 11);
  r.auxPort = uint16_t(data[15] | data[16] << 8);
  r.dhcp = data[0] >> 1 & 3;
  std::vector<std::string> fields;
  std::string cur;
  for (size_t i = 17; i < size; ++i) {
    if (data[i] == 0) {
      fields.push_back(cur.substr(0, kSdkTextMax));
      cur.clear();
    } else {
      cur.push_back(char(data[i]));
    }
  }
  fields.push_back(cur.substr(0, kSdkTextMax));
  fields.resize(7);
  r.name = fields[0];
  r.model = fields[1];
  r.ip = fields[2];
  r.netMask = fields[3];
  r.gateway = fields[4];
  r.auxAddr = fields[5];
  r.dns = fields[6];

  const std::optional<TDevInfo> d = DeviceFromSdkReport(r);
  // The listing rule: a hardware address, a dotted-quad address without leading zeros, ports
  // in range, and the optional addresses either empty or dotted quads as well.
  const auto quadOrEmpty = [](const std::string& t) { return t.empty() || IsIPv4Text(t); };
  Check(d.has_value() == (r.mac && IsIPv4Text(r.ip) && r.httpPort >= 0 && r.httpPort <= 65535 &&
                          r.dataPort >= 0 && r.dataPort <= 65535 && quadOrEmpty(r.netMask) &&
                          quadOrEmpty(r.gateway) && quadOrEmpty(r.dns)));
  if (!d) return 0;
  Check(d->DevType == 4 && d->MAC.size() == 12 && d->IPMode == (r.dhcp == 1 ? 1 : 2));
  for (char c : d->MAC) Check((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
  const std::optional<TSdkConfigArgs> a = SdkConfigArgs(*d);
  Check(a.has_value());
  Check(std::memcmp(a->mac.data(), r.mac->data(), 6) == 0 && a->ip == d->IP && a->auxPort == d->AuxPort);
  return 0;
}
