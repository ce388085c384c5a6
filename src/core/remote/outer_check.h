// The advanced window's Check of a camera's outer address: asks the vendor's service whether
// the camera's DDNS account is registered and online, and, when it is known but offline,
// whether its ID and password are accepted. The HTTP GET is injected; the result is the
// message to show (a language key and a text to append to it).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/config/deployment.h"

namespace kestrova::remote {

// GET url with a time-out; std::nullopt when no reply was read.
using HttpGetFn = std::function<std::optional<std::string>(const std::string& url, int timeoutMs)>;

struct OuterCheckResult {
  bool ran = false;          // false: nothing to check (no '.' in the address); nothing is shown
  std::string messageKey;    // IDS_CHECKNORM, IDS_NOID, IDS_NOREG, IDS_ERRPWD, IDS_UNKNOWERR, IDS_CANNOTCONNECTSERVER
  std::string appendix;      // for IDS_UNKNOWERR: the unexpected reply, made fit for display
  int requests = 0;          // how many requests were sent (1 or 2)
};

// The suffix of an outer address: from its first '.' to its end; empty without a '.'.
std::string OuterAddressSuffix(std::string_view outerUrl);

// The check host for an outer address: "user" + suffix (host part only).
std::string OuterCheckHost(std::string_view outerUrl);

// Runs the check for the DDNS account (ddnsUser, ddnsPwd) of the camera whose outer address is
// outerUrl (the text of the outer-address field).
OuterCheckResult CheckOuterAddress(std::string_view outerUrl, std::string_view ddnsUser,
                                   std::string_view ddnsPwd, const HttpGetFn& get,
                                   int timeoutMs = deployment::kDdnsServiceTimeoutMs);

}  // namespace kestrova::remote
