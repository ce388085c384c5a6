// The CGI reply readers, the scan-result parsers and the family-9 settings answer over
// arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/protocols/cgi_reply.h"
#include "core/protocols/setnet_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestrova;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::string_view name : {"var wifi_ssid", "factory_index", "ap_ssid[0]", "var", "=", ";", ""}) {
    (void)ExtractValue(text, name);
    (void)ExtractLineValue(text, name);
    std::string v = "keep";
    (void)ExtractVarValue(text, name, v);
  }
  (void)ReadSysVersion(text);
  (void)ParseWiFiParams(text);
  TFactoryParams f;
  ParseFactoryParams(text, f);
  if (f.Status < 0 || f.Status > 5) __builtin_trap();
  auto scan = ParseScanResult(text);
  if (scan.Count < 0 || scan.Count > kMaxScanRecords || scan.Records.size() != static_cast<size_t>(scan.Count))
    __builtin_trap();
  (void)ParseCgiScanList(text, 2);
  (void)ParseCgiScanList(text, 8);
  TDevInfo d;
  ParseDeviceParams(text, d, "u", "p");
  ParseDeviceStatus(text, d);
  (void)ParseFamily9SetAnswer(std::span<const uint8_t>(data, size));
  return 0;
}
