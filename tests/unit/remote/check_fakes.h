// The vendor's service and a camera's web server as the checks' injected GET sees them: answers
// by path, recorded requests, and texts that name their key so that expected lines read plainly.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/remote/check_report.h"
#include "core/remote/outer_check.h"

namespace kestrova::remote::testing {

using Reply = std::optional<std::string>;

struct FakeGet {
  Reply getParams, getRemote, checkAuth;
  std::deque<Reply> checkUrl;  // one per probe; the last one repeats
  std::vector<std::string> urls;
  std::vector<int> timeouts;

  HttpGetFn Fn() {
    return [this](const std::string& url, int timeoutMs) -> Reply {
      urls.push_back(url);
      timeouts.push_back(timeoutMs);
      if (url.find("/get_params.cgi?") != std::string::npos) return getParams;
      if (url.find(":808/func/getremote.asp?") != std::string::npos) return getRemote;
      if (url.find(":808/api/checkauth.asp?") != std::string::npos) return checkAuth;
      if (url.find(":808/api/checkurl.asp?") != std::string::npos) {
        if (checkUrl.empty()) return std::nullopt;
        Reply r = checkUrl.front();
        if (checkUrl.size() > 1) checkUrl.pop_front();
        return r;
      }
      return std::nullopt;
    };
  }
};

// "<KEY>" for every key; the keys whose form matters carry it: "%s", tabs, several lines.
inline TCheckTexts KeyTexts() {
  TCheckTexts t = LoadCheckTexts([](const std::string& key) { return "<" + key + ">"; });
  t["IDS_CHECKING"] = "Checking...";
  t["IDS_CHECKDDNS_GETCONFIG_SUCC"] = "\t\tSuccess!";
  t["IDS_CHECKDDNS2_SUCC"] = "\t\tOK!";
  t["IDS_CHECKFAIL_NOTCONNECT"] = "Checking...\t\tFailure, server %s.";
  t["IDS_CHECKDDNS2_ERR_DO"] = "Approach:\r\n        1.a;\r\n        2.b.";
  return t;
}

}  // namespace kestrova::remote::testing
