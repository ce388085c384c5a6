// The blocking side of the DDNS and port-forward checks (core/remote): every call is
// synchronous with the time-out the check gives and safe from any thread.
#pragma once

#include <optional>
#include <string>

#include "core/discovery/dev_info.h"
#include "core/remote/ddns_check.h"
#include "core/remote/port_forward_check.h"

namespace kestrova {

// GET without authorization; std::nullopt when no reply was read (an HTTP error page is a
// reply). The body is cut at kHttpGetMaxReply bytes.
std::optional<std::string> CheckHttpGet(const std::string& url, int timeoutMs);

// The camera side of a DDNS check of dev: the GET above, the family-9 factory read (a driver
// of the check's own, so that the process-wide one is not shared between threads) and the
// family-5 DDNS state over the CTP pool.
remote::TDdnsCheckIo DdnsCheckIo(const TDevInfo& dev, const std::string& cameraUser,
                                 const std::string& cameraPassword);

// The pause between probes: the scaled clock's sleep.
remote::PauseFn ScaledPause();

}  // namespace kestrova
