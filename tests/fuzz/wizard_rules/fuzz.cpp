// A camera's answer, whatever its bytes, through what the wizard does with the record: the
// device-selection mirror, the address step's decision, and where the reachability check asks.
// The records come from the discovery parsers, so every field a camera reports is hostile.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/discovery/cgi_search.h"
#include "core/discovery/check_target.h"
#include "core/discovery/dev_list_mirror.h"
#include "core/discovery/discovery_protocol.h"
#include "core/discovery/ip_text.h"
#include "core/setup/set_ip.h"

using namespace kestrova;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Wizard(const TDevInfo& rec, DeviceList& list) {
  list.MergeDevice(rec);
  TDevListMirror mirror;
  const TMirrorTickResult t = mirror.Tick(list, std::nullopt, false);
  Check(!t.Select || (*t.Select >= 0 && size_t(*t.Select) < mirror.Entries().size()));
  for (size_t i = 0; i < mirror.Entries().size(); ++i) Check(mirror.DeviceAt(list, int(i)) != nullptr);

  const int r = MacNumber(rec.MAC, 777);
  Check((r >= 0 && r <= 255) || r == 777);
  const TSetIpPlan plan = ConfigureCamera(rec, {"192.168.0.10", "192.168.0.1", "255.255.255.0"}, 777);
  if (plan.Kind == TSetIpPlan::Apply) {
    // Only ever a dotted-decimal address, and never the subnet's network or broadcast address.
    const auto bytes = IPStrToBytes(plan.New.IP);
    Check(bytes.has_value());
    if (plan.New.IP != rec.IP) Check((*bytes)[0] == 192 && (*bytes)[3] != 0 && (*bytes)[3] != 255);
    Check(plan.New.IPMode == 2 && plan.New.MAC == rec.MAC);
  }
  if (auto target = CheckTargetOfUrl(DeviceLanUrl(rec))) Check(IPStrToBytes(target->Host).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  DeviceList list;
  FindDevByMacFn lookup = [&](const std::string& mac) { return list.FindDevByMAC(mac); };
  const ParseResult p = ParseDatagram(bytes, lookup);
  if (p.accepted) Wizard(p.rec, list);
  if (std::optional<TDevInfo> d = ParseFamily9Answer(bytes)) Wizard(*d, list);
  // The MAC text rule on the raw bytes as well (family 2 reports identity text).
  const int r = MacNumber(std::string_view(reinterpret_cast<const char*>(data), size), 5);
  Check((r >= 0 && r <= 255) || r == 5);
  return 0;
}
