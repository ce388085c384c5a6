// The port-forward step's check: the vendor's service gives the camera's public address, then
// is asked up to three times to fetch a file from the camera through it. Pure: the HTTP GET
// and the pause between attempts are injected; each stage is a report (check_report.h).
#pragma once

#include <functional>
#include <string>

#include "core/remote/check_report.h"
#include "core/remote/outer_check.h"

namespace kestrova::remote {

inline constexpr int kForwardProbeAttempts = 3;
inline constexpr int kForwardProbePauseMs = 500;

// Waits ms (the front end's clock) between two attempts.
using PauseFn = std::function<void(int ms)>;

// IDS_CHECKFAIL_NOTCONNECT with the DDNS server name (fit for display) in place of its "%s".
std::string NotConnectText(const TCheckTexts& texts, const std::string& server);

// Runs one check for the camera's DDNS server name and ID to its end.
void RunPortForwardCheck(const std::string& server, const std::string& id, const HttpGetFn& get,
                         const PauseFn& pause, const TCheckTexts& texts, const ReportFn& report);

}  // namespace kestrova::remote
