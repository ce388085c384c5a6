#include "core/remote/outer_check.h"

#include "core/remote/vendor_service.h"

namespace kestrova::remote {

std::string OuterAddressSuffix(std::string_view outerUrl) {
  size_t dot = outerUrl.find('.');
  if (dot == std::string_view::npos) return {};
  return std::string(outerUrl.substr(dot));
}

std::string OuterCheckHost(std::string_view outerUrl) {
  std::string suffix = OuterAddressSuffix(outerUrl);
  if (suffix.empty()) return {};
  return ServiceHost(std::string(deployment::kOuterCheckHostLabel) + suffix);
}

OuterCheckResult CheckOuterAddress(std::string_view outerUrl, std::string_view ddnsUser,
                                   std::string_view ddnsPwd, const HttpGetFn& get, int timeoutMs) {
  OuterCheckResult out;
  std::string host = OuterCheckHost(outerUrl);
  if (host.empty() || !get) return out;
  out.ran = true;

  out.requests = 1;
  RegReply reg = ClassifyGetRemote(get(BuildGetRemoteUrl(host, ddnsUser), timeoutMs));
  switch (reg.status) {
    case RegStatus::NoAnswer:
      out.messageKey = "IDS_CANNOTCONNECTSERVER";
      return out;
    case RegStatus::Online:
      out.messageKey = "IDS_CHECKNORM";
      return out;
    case RegStatus::NoId:
      out.messageKey = "IDS_NOID";
      return out;
    case RegStatus::Unknown:
      out.messageKey = "IDS_UNKNOWERR";
      out.appendix = ReplyForDisplay(reg.rest);
      return out;
    case RegStatus::Offline:
      break;
  }

  out.requests = 2;
  AuthReply auth = ClassifyCheckAuth(get(BuildCheckAuthUrl(host, ddnsUser, ddnsPwd), timeoutMs));
  switch (auth.status) {
    case AuthStatus::NoAnswer: out.messageKey = "IDS_CANNOTCONNECTSERVER"; break;
    case AuthStatus::Accepted: out.messageKey = "IDS_NOREG"; break;
    case AuthStatus::NoId: out.messageKey = "IDS_NOID"; break;
    case AuthStatus::NoAuth: out.messageKey = "IDS_ERRPWD"; break;
    case AuthStatus::Unknown:
      out.messageKey = "IDS_UNKNOWERR";
      out.appendix = ReplyForDisplay(auth.rest);
      break;
  }
  return out;
}

}  // namespace kestrova::remote
