// Every received discovery datagram goes through the classifier (and the family-9 answer
// parser for the CGI family's socket); the results are merged into a device list as the
// session does. Checks the invariants that hold for any input.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/discovery/cgi_search.h"
#include "core/discovery/device_list.h"
#include "core/discovery/discovery_protocol.h"

using namespace kestrova;

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  DeviceList list;
  TDevInfo listed;
  listed.DevType = 8;
  listed.MAC = "001122aabbcc";
  listed.IP = "192.168.1.30";
  list.MergeDevice(listed);
  FindDevByMacFn lookup = [&](const std::string& mac) { return list.FindDevByMAC(mac); };

  ParseResult r = ParseDatagram(bytes, lookup);
  Check(size <= kDiscoveryDatagramMax || (!r.accepted && r.followUps.empty()));
  if (!r.accepted) Check(r.rec.DevType == -1);
  for (const OutDatagram& o : r.followUps) {
    Check(o.bytes.size() == 136 && o.port == kFamily8Port && o.from == DiscoverySocket::IdUDPServer5);
    // A follow-up is one of our own requests: fed back, it is ignored.
    ParseResult echo = ParseDatagram(o.bytes, lookup);
    Check(!echo.accepted && echo.followUps.empty());
  }
  if (r.accepted) {
    DeviceList::MergeResult m = list.MergeDevice(r.rec);
    Check(r.rec.DevType != -1 || m.action == DeviceList::MergeResult::Ignored);
    Check(list.FindDevByMAC(r.rec.MAC) != nullptr || r.rec.DevType == -1);
  }

  if (std::optional<TDevInfo> d = ParseFamily9Answer(bytes)) {
    Check(d->DevType == 9 && d->MAC.size() == 17);
    list.MergeDevice(*d);
    Check(list.FindItemByMAC(d->MAC) >= 0);
  }
  for (int i = 0; i < 30; ++i) list.ExpireTick();  // the longest lifetime: a first family-8 sighting
  Check(list.Count() == 0);
  return 0;
}
