#include "core/remote/ddns_check.h"

#include "core/protocols/cgi_reply.h"
#include "core/protocols/cgi_requests.h"
#include "core/protocols/text_util.h"
#include "core/protocols/url_value.h"
#include "core/remote/vendor_service.h"

namespace kestrova::remote {

namespace {

std::string Indented(const TCheckTexts& t, std::string_view key) {
  return std::string(kReportIndent) + CheckText(t, key);
}

// A var value; one pair of enclosing double quotes is no part of it.
std::string VarValue(std::string_view reply, std::string_view name) {
  std::string v;
  ExtractVarValue(reply, name, v);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

void AccountCheck(const std::string& server, const std::string& id, const std::string& password,
                  const HttpGetFn& get, const TCheckTexts& t, const ReportFn& report) {
  AuthReply auth = ClassifyCheckAuth(get(BuildCheckAuthUrl(server, id, password), deployment::kDdnsServiceTimeoutMs));
  switch (auth.status) {
    case AuthStatus::NoAnswer:
      report(kReportAdd, Indented(t, "IDS_CANNOTCONNECTSERVER"));
      break;
    case AuthStatus::Accepted:
      report(kReportAdd, Indented(t, "IDS_NOREG"));
      report(kReportAdd, Indented(t, "IDS_CHECKDDNS2_ERR_DO2"));
      break;
    case AuthStatus::NoId:
      report(kReportAdd, Indented(t, "IDS_NOID"));
      break;
    case AuthStatus::NoAuth:
      report(kReportAdd, Indented(t, "IDS_ERRPWD"));
      break;
    case AuthStatus::Unknown:
      report(kReportAdd, Indented(t, "IDS_UNKNOWERR"));
      break;
  }
}

// Family 2: the options from get_params. False when a stage failed (and was reported).
bool ReadFamily2Options(const TDdnsCheckInput& in, const HttpGetFn& get, const TCheckTexts& t,
                        const ReportFn& report, TDdnsOptions& opt) {
  report(kReportAdd, CheckText(t, "IDS_CHECKDDNS_GETCONFIG"));
  std::optional<std::string> reply;
  if (!in.Base.empty()) reply = get(in.Base + PathGetParams(in.CameraUser, in.CameraPassword), kDdnsOptionsTimeoutMs);
  const char* failure = nullptr;
  if (!reply) {
    failure = "IDS_CHECKDDNS_GETCONFIG_ERR6";
  } else if (reply->find("var") == std::string::npos) {
    failure = "IDS_CHECKDDNS_GETCONFIG_ERR5";
  } else {
    opt = ReadDdnsOptions(*reply);
    if (opt.Service.empty()) failure = "IDS_CHECKDDNS_GETCONFIG_ERR";
    else if (opt.Service != "7") failure = "IDS_CHECKDDNS_GETCONFIG_ERR2";
    else if (opt.Server.empty() || opt.ProxyPort.empty() || opt.ProxyPort == "0") failure = "IDS_CHECKDDNS_GETCONFIG_ERR3";
    else if (opt.User.empty()) failure = "IDS_CHECKDDNS_GETCONFIG_ERR4";
  }
  if (failure) {
    report(kReportAdd, CheckText(t, failure));
    return false;
  }
  report(kReportReplace, CheckText(t, "IDS_CHECKDDNS_GETCONFIG") + CheckText(t, "IDS_CHECKDDNS_GETCONFIG_SUCC"));
  return true;
}

bool ReadFamily9Options(const TDdnsCheckIo& io, const TCheckTexts& t, const ReportFn& report) {
  static const char* const kFailure[] = {
      "IDS_CHECKDDNS_GETCONFIG_ERR",  "IDS_CHECKDDNS_GETCONFIG_ERR2", "IDS_CHECKDDNS_GETCONFIG_ERR3",
      "IDS_CHECKDDNS_GETCONFIG_ERR4", "IDS_CHECKDDNS_GETCONFIG_ERR5", "IDS_CHECKDDNS_GETCONFIG_ERR6",
  };
  report(kReportAdd, CheckText(t, "IDS_CHECKDDNS_GETCONFIG"));
  const int32_t status = io.FactoryStatus ? io.FactoryStatus() : 6;
  if (status >= 1 && status <= 6) {
    report(kReportAdd, CheckText(t, kFailure[status - 1]));
    return false;
  }
  if (status != 0) return false;  // no such status: the read tells nothing to go on with
  report(kReportReplace, CheckText(t, "IDS_CHECKDDNS_GETCONFIG") + CheckText(t, "IDS_CHECKDDNS_GETCONFIG_SUCC"));
  return true;
}

void CheckFamily5(const TDdnsCheckIo& io, const TCheckTexts& t, const ReportFn& report) {
  report(kReportAdd, CheckText(t, "IDS_CHECKING2"));
  const std::optional<int32_t> state = io.OrayState ? io.OrayState() : std::nullopt;
  if (!state) {
    report(kReportAdd, Indented(t, "IDS_UNKNOWERR"));
    return;
  }
  switch (*state) {
    case 0:
      report(kReportSuccess, CheckText(t, "IDS_CHECKDDNS2") + CheckText(t, "IDS_CHECKDDNS2_SUCC"));
      break;
    case 1:
    case 4:
      report(kReportAdd, Indented(t, "IDS_CANNOTCONNECTSERVER"));
      break;
    case 2:
    case 5:
      report(kReportAdd, Indented(t, "IDS_UNKNOWERR"));
      break;
    case 3:
      report(kReportAdd, Indented(t, "IDS_NOREG"));
      break;
    default:
      break;
  }
}

}  // namespace

TDdnsCheckInput DdnsCheckInputOf(const TDevInfo& dev, const std::string& cameraUser,
                                 const std::string& cameraPassword) {
  TDdnsCheckInput in;
  in.Family = dev.DevType;
  in.Server = dev.DDnsServer;
  in.Id = dev.DDnsUser;
  in.Password = dev.DDnsPwd;
  in.IP = dev.IP;
  in.HttpPort = dev.HttpPort;
  in.Base = DeviceLanUrl(dev);
  in.CameraUser = cameraUser;
  in.CameraPassword = cameraPassword;
  return in;
}

TDdnsOptions ReadDdnsOptions(std::string_view reply) {
  TDdnsOptions o;
  o.Service = VarValue(reply, "ddns_service");
  o.Server = VarValue(reply, "ddns_proxy_svr");
  o.ProxyPort = VarValue(reply, "ddns_proxy_port");
  o.User = VarValue(reply, "ddns_user");
  o.Password = VarValue(reply, "ddns_pwd");
  return o;
}

void RunDdnsRegistrationCheck(const std::string& server, const std::string& id, const std::string& password,
                              const HttpGetFn& get, const TCheckTexts& t, const ReportFn& report) {
  report(kReportAdd, CheckText(t, "IDS_CHECKDDNS2"));
  RegReply reg = ClassifyGetRemote(get(BuildGetRemoteUrl(server, id), deployment::kDdnsServiceTimeoutMs));
  switch (reg.status) {
    case RegStatus::NoAnswer:
      report(kReportAdd, Indented(t, "IDS_CANNOTCONNECTSERVER"));
      break;
    case RegStatus::Online:
      report(kReportSuccess, CheckText(t, "IDS_CHECKDDNS2") + CheckText(t, "IDS_CHECKDDNS2_SUCC"));
      break;
    case RegStatus::NoId:
      report(kReportAdd, Indented(t, "IDS_NOID"));
      report(kReportAdd, Indented(t, "IDS_CHECKDDNS2_ERR_DO"));
      break;
    case RegStatus::Offline:
      AccountCheck(server, id, password, get, t, report);
      break;
    case RegStatus::Unknown:
      report(kReportAdd, Indented(t, "IDS_UNKNOWERR"));
      break;
  }
}

void RunDdnsCheck(const TDdnsCheckInput& in, const TDdnsCheckIo& io, const TCheckTexts& t, const ReportFn& report) {
  if (!report) return;
  const HttpGetFn get = io.Get ? io.Get : HttpGetFn([](const std::string&, int) { return std::optional<std::string>(); });
  std::string server = in.Server, id = in.Id, password = in.Password;
  switch (in.Family) {
    case 2: {
      TDdnsOptions opt;
      if (!ReadFamily2Options(in, get, t, report, opt)) return;
      server = opt.Server;
      id = opt.User;
      password = opt.Password;
      break;
    }
    case 9:
      if (!ReadFamily9Options(io, t, report)) return;
      break;
    case 5:
      CheckFamily5(io, t, report);
      return;
    default:
      break;
  }
  RunDdnsRegistrationCheck(server, id, password, get, t, report);
}

std::string PathSetDdnsF2(std::string_view cameraUser, std::string_view cameraPassword, std::string_view id,
                          std::string_view password, std::string_view server) {
  return "set_ddns.cgi?cam_user=" + UrlValue(cameraUser) + "&cam_pwd=" + UrlValue(cameraPassword) +
         "&service=7&user=" + UrlValue(TrimText(id)) + "&pwd=" + UrlValue(TrimText(password)) +
         "&host=&proxy_svr=" + UrlValue(TrimText(server)) + "&proxy_port=808&restart_dyndns=1";
}

std::string SetDdnsF2Url(std::string_view base, std::string_view cameraUser, std::string_view cameraPassword,
                         std::string_view id, std::string_view password, std::string_view server) {
  if (base.empty()) return {};
  return std::string(base) + "/" + PathSetDdnsF2(cameraUser, cameraPassword, id, password, server);
}

std::string SetDdnsMessageKey(TSetDdnsResult r) {
  switch (r) {
    case TSetDdnsResult::NoConnection: return "IDS_CANTCONNECT";
    case TSetDdnsResult::WrongAccount: return "IDS_ERRAUTH";
    default: return {};
  }
}

TSetDdnsResult SetDdnsAccount(int32_t family, std::string_view base, std::string_view cameraUser,
                              std::string_view cameraPassword, std::string_view id, std::string_view password,
                              std::string_view server, const HttpGetFn& get) {
  if (family != 2) return TSetDdnsResult::NotSupported;
  const std::string url = SetDdnsF2Url(base, cameraUser, cameraPassword, id, password, server);
  std::optional<std::string> reply;
  if (!url.empty() && get) reply = get(url, kSetDdnsTimeoutMs);
  if (!reply) return TSetDdnsResult::NoConnection;
  if (reply->find("Una") != std::string::npos) return TSetDdnsResult::WrongAccount;
  return TSetDdnsResult::Taken;
}

int WaitForCameraBack(int seconds, const std::function<bool(int ms)>& pause, const std::function<bool()>& listed) {
  const int ticks = seconds * 10;  // of 100 ms
  for (int t = 1; t <= ticks; ++t) {
    if (pause && !pause(100)) return 1;
    if (t == ticks) break;
    if (t / 10 > kRestartBlindSeconds && listed && listed()) return 0;
  }
  return 2;
}

}  // namespace kestrova::remote
