// Every reader of a CTP reply over arbitrary bytes, and the framing over every prefix.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/protocols/ctp_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view reply(reinterpret_cast<const char*>(data), size);
  (void)kestrova::CtpReplyOk(reply);
  (void)kestrova::CtpKeepaliveOk(reply);
  (void)kestrova::CtpReplyBody(reply);
  (void)kestrova::ParseCtpOrayState(reply);
  (void)kestrova::ParseCtpWirelessConfig(reply);
  auto nets = kestrova::ParseCtpNetworkList(reply);
  for (const auto& n : nets)
    if (n.WiFi.SSID.empty()) __builtin_trap();  // an empty SSID is never listed
  for (size_t n = 0; n <= size && n < 512; ++n) {
    auto f = kestrova::CtpReplyFrame(reply.substr(0, n));
    if (f.State == kestrova::CtpFrame::Complete && f.Size > n) __builtin_trap();
  }
  auto whole = kestrova::CtpReplyFrame(reply);
  if (whole.State == kestrova::CtpFrame::Complete && whole.Size > size) __builtin_trap();
  return 0;
}
