// Feeds one input as every kind of DDNS service reply, and its first half as the public
// address of a reachability request.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/remote/outer_check.h"
#include "core/remote/vendor_service.h"

using namespace kestrova::remote;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  RegReply reg = ClassifyGetRemote(text);
  if (reg.status == RegStatus::Online && !reg.publicAddress.empty()) {
    if (!IsPublicAddress(reg.publicAddress)) std::abort();
    if (BuildCheckUrlUrl("h.test", reg.publicAddress).empty()) std::abort();
  }
  if (reg.rest.size() > text.size()) std::abort();
  AuthReply auth = ClassifyCheckAuth(text);
  if (auth.rest.size() > text.size()) std::abort();
  (void)ClassifyCheckUrl(text);
  std::string shown = ReplyForDisplay(text, 64);
  for (unsigned char c : shown) {
    if (c < 0x20 || c == 0x7F) std::abort();
  }

  // The same bytes as both answers of the outer-address check.
  size_t half = size / 2;
  std::string first = text.substr(0, half), second = text.substr(half);
  auto get = [&](const std::string& url, int) -> std::optional<std::string> {
    return url.find("getremote") != std::string::npos ? first : second;
  };
  OuterCheckResult r = CheckOuterAddress("http://x.a.test", first, second, get);
  if (!r.ran || r.messageKey.empty()) std::abort();

  // Every request stays one URL: no query value can add a parameter or a fragment.
  std::string url = BuildCheckAuthUrl(first, first, second);
  if (url.find('#') != std::string::npos || url.find(' ') != std::string::npos) std::abort();
  return 0;
}
