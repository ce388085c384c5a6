// The wireless scan of families 2 and 8 (and every family without a path of its own), by
// the CGI requests the wireless step builds itself: the scan request (sent twice for family
// 2), then the scan result.
#pragma once

#include <string>
#include <vector>

#include "core/discovery/dev_info.h"
#include "core/protocols/cgi_reply.h"

namespace kestrova {

enum class CgiScanStatus { Ok, CantConnect, NoResult };

// Requests go to DeviceLanUrl(dev) with the credentials as given (not trimmed) and Basic; a
// record without an address a request may go to gets CantConnect and no request.
CgiScanStatus ScanCgi(const TDevInfo& dev, const std::string& user, const std::string& password,
                      std::vector<TWiFi>& list, int timeoutMs = 10000);

}  // namespace kestrova
