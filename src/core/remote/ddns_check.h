// The DDNS step's check: the camera's DDNS options, read the way its family keeps them, then
// the vendor's service asked whether the camera's account is registered and online. Pure: the
// HTTP GET and the camera reads are injected, each stage is a report (check_report.h).
//
// And the DDNS account dialog's write of a family-2 camera, with the reading of its answer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/discovery/dev_info.h"
#include "core/remote/check_report.h"
#include "core/remote/outer_check.h"

namespace kestrova::remote {

// Time-out of the family-2 options read.
inline constexpr int kDdnsOptionsTimeoutMs = 5000;
// Time-out of the family-2 account write.
inline constexpr int kSetDdnsTimeoutMs = 10000;
// How long the step waits for the camera to come back after the account write (seconds).
inline constexpr int kSetDdnsWaitSeconds = 40;

// What one check works with, copied from the camera's record and the wizard state when the
// check is made.
struct TDdnsCheckInput {
  int32_t Family = -1;
  std::string Server, Id, Password;  // DDnsServer, DDnsUser, DDnsPwd
  std::string IP;
  uint16_t HttpPort = 0;
  std::string Base;                  // DeviceLanUrl(record); "" when the address is unusable
  std::string CameraUser, CameraPassword;
};
TDdnsCheckInput DdnsCheckInputOf(const TDevInfo& dev, const std::string& cameraUser,
                                 const std::string& cameraPassword);

// The camera side of a check.
struct TDdnsCheckIo {
  HttpGetFn Get;  // every GET: the family-2 options and the service requests
  // Family 9: the Status of the factory DDNS parameters read (0 complete, 1..6 failures).
  std::function<int32_t()> FactoryStatus;
  // Family 5: the camera's DDNS client state; nullopt when no connection could be made.
  std::function<std::optional<int32_t>()> OrayState;
};

// The family-2 options as read from get_params (the fields a check then uses).
struct TDdnsOptions {
  std::string Service, Server, ProxyPort, User, Password;
};
// A get_params reply's ddns_* values. A value the camera writes in double quotes is read
// without them (single quotes are dropped wherever they stand, as in every var reader).
TDdnsOptions ReadDdnsOptions(std::string_view reply);

// Runs one check to its end; reports go to report in order.
void RunDdnsCheck(const TDdnsCheckInput& in, const TDdnsCheckIo& io, const TCheckTexts& texts,
                  const ReportFn& report);

// The registration check alone (the service host is the DDNS server name): registration, and
// for an account that is known but offline, the account check.
void RunDdnsRegistrationCheck(const std::string& server, const std::string& id, const std::string& password,
                              const HttpGetFn& get, const TCheckTexts& texts, const ReportFn& report);

// The family-2 account write: "set_ddns.cgi?cam_user=" U "&cam_pwd=" P "&service=7&user=" ID
// "&pwd=" PWD "&host=&proxy_svr=" SERVER "&proxy_port=808&restart_dyndns=1", every value
// placed as a query value (so none can add or change a parameter); ID, PWD and SERVER trimmed.
std::string PathSetDdnsF2(std::string_view cameraUser, std::string_view cameraPassword, std::string_view id,
                          std::string_view password, std::string_view server);
// base + "/" + the path above; "" when base is empty.
std::string SetDdnsF2Url(std::string_view base, std::string_view cameraUser, std::string_view cameraPassword,
                         std::string_view id, std::string_view password, std::string_view server);

enum class TSetDdnsResult {
  Taken,          // the camera took the account (it restarts)
  NoConnection,   // the request failed: IDS_CANTCONNECT
  WrongAccount,   // the answer holds "Una": IDS_ERRAUTH
  NotSupported,   // the family has no account write; nothing was sent
};
// The message key of a result ("" for Taken and NotSupported).
std::string SetDdnsMessageKey(TSetDdnsResult r);
// The dialog's OK: family 2 sends the write through get (no HTTP authorization); any other
// family sends nothing.
TSetDdnsResult SetDdnsAccount(int32_t family, std::string_view base, std::string_view cameraUser,
                              std::string_view cameraPassword, std::string_view id, std::string_view password,
                              std::string_view server, const HttpGetFn& get);

// The restart countdown's rule where no dialog counts: waits `seconds` in steps of 100 ms
// (pause returns false to stop), looking at the device list (listed) only once more than 30
// whole seconds have passed. 0 the camera is listed again, 1 stopped, 2 the time ran out.
inline constexpr int kRestartBlindSeconds = 30;
int WaitForCameraBack(int seconds, const std::function<bool(int ms)>& pause, const std::function<bool()>& listed);

}  // namespace kestrova::remote
