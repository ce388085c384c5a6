// The first byte picks the reader: 's' a control request (the SOAPAction header, a newline, then
// the body) handed to a gateway with a few mappings, 'm' an SSDP datagram, anything else a
// NAT-PMP datagram. Each answer must stay within what the reader promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "igd.h"

using namespace kestrova::sim::igd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] == 's') {
    const size_t nl = in.find('\n');
    const std::string_view header = nl == std::string_view::npos ? in : in.substr(0, nl);
    const std::string_view body = nl == std::string_view::npos ? std::string_view() : in.substr(nl + 1);
    Device d("203.0.113.1", 4);
    d.Add({81, "TCP", 81, "192.168.0.50", true, "web"});
    d.Add({27015, "UDP", 27015, "192.168.0.23", false, "console"});
    for (int i = 0; i < 3; ++i) {  // the same request on the table it changed
      const Reply r = d.Control(header, body);
      if ((r.http != 200 && r.http != 500) || d.Table().size() > 4) std::abort();
    }
  } else if (data[0] == 'm') {
    const auto a = SsdpAnswer(in, "http://192.168.0.1:5000/rootDesc.xml", "u");
    if (a && (a->size() > 512 || a->find("\r\n\r\n") != a->size() - 4)) std::abort();
  } else {
    const auto a = NatPmpAnswer(in, 0x0100710B, 7);
    if (a && a->size() != 8 && a->size() != 12 && a->size() != 16) std::abort();
  }
  return 0;
}
