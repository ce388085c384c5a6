#include "core/remote/port_forward_check.h"

#include "core/config/deployment.h"
#include "core/remote/vendor_service.h"

namespace kestrova::remote {

namespace {

std::string Indented(const TCheckTexts& t, std::string_view key) {
  return std::string(kReportIndent) + CheckText(t, key);
}

}  // namespace

std::string NotConnectText(const TCheckTexts& texts, const std::string& server) {
  std::string text = CheckText(texts, "IDS_CHECKFAIL_NOTCONNECT");
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, DisplayName(server));
  return text;
}

void RunPortForwardCheck(const std::string& server, const std::string& id, const HttpGetFn& get,
                         const PauseFn& pause, const TCheckTexts& t, const ReportFn& report) {
  if (!report) return;
  auto Get = [&get](const std::string& url) -> std::optional<std::string> {
    if (!get) return std::nullopt;
    return get(url, deployment::kDdnsServiceTimeoutMs);
  };

  RegReply reg = ClassifyGetRemote(Get(BuildGetRemoteUrl(server, id)));
  switch (reg.status) {
    case RegStatus::NoAnswer:
      report(kReportReplace, NotConnectText(t, server));
      return;
    case RegStatus::NoId:
      report(kReportAdd, Indented(t, "IDS_NOID"));
      report(kReportAdd, Indented(t, "IDS_CHECKDDNS2_ERR_DO"));
      return;
    case RegStatus::Offline:
      report(kReportAdd, Indented(t, "IDS_DEVOFFLINE"));
      return;
    case RegStatus::Unknown:
      report(kReportAdd, Indented(t, "IDS_UNKNOWERR"));
      return;
    case RegStatus::Online:
      break;
  }
  // A public address that is not a plain host[:port] is not sent on: the service's answer is
  // not one the check relies on.
  if (reg.publicAddress.empty()) {
    report(kReportAdd, Indented(t, "IDS_UNKNOWERR"));
    return;
  }
  const std::string probe = BuildCheckUrlUrl(server, reg.publicAddress);
  const std::string checking = CheckText(t, "IDS_CHECKING");

  report(kReportAdd, checking + "1");
  ReachStatus result = ReachStatus::NoAnswer;
  for (int attempt = 1; attempt <= kForwardProbeAttempts; ++attempt) {
    result = ClassifyCheckUrl(Get(probe));
    if (result == ReachStatus::Reachable) break;
    if (pause) pause(kForwardProbePauseMs);
    report(kReportReplace, checking + std::to_string(attempt + 1));
  }
  switch (result) {
    case ReachStatus::Reachable:
      report(kReportSuccess, CheckText(t, "IDS_CHECKSUCC"));
      break;
    case ReachStatus::Unreachable:
      report(kReportReplace, CheckText(t, "IDS_CHECKFAIL_NOTCONNECTDEV"));
      report(kReportAdd, Indented(t, "IDS_CHECKDO_PORTFORWARD2"));
      break;
    case ReachStatus::NoAnswer:
      report(kReportReplace, NotConnectText(t, server));
      report(kReportAdd, Indented(t, "IDS_CHECKDO_PORTFORWARD"));
      break;
  }
}

}  // namespace kestrova::remote
