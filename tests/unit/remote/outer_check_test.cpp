#include "core/remote/outer_check.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace kestrova::remote {
namespace {

// Answers by path (getremote / checkauth) and records every request.
struct FakeService {
  std::optional<std::string> getremote;
  std::optional<std::string> checkauth;
  std::vector<std::string> urls;
  std::vector<int> timeouts;
  HttpGetFn Fn() {
    return [this](const std::string& url, int timeoutMs) -> std::optional<std::string> {
      urls.push_back(url);
      timeouts.push_back(timeoutMs);
      if (url.find("/func/getremote.asp") != std::string::npos) return getremote;
      if (url.find("/api/checkauth.asp") != std::string::npos) return checkauth;
      return std::nullopt;
    };
  }
};

TEST(OuterCheck, SuffixAndHost) {
  EXPECT_EQ(OuterAddressSuffix("http://x123.bb.cc"), ".bb.cc");
  EXPECT_EQ(OuterCheckHost("http://x123.bb.cc"), "user.bb.cc");
  EXPECT_EQ(OuterCheckHost("http://x123.bb.cc:81/"), "user.bb.cc");
  EXPECT_EQ(OuterAddressSuffix("http://nodot"), "");
  EXPECT_EQ(OuterCheckHost(""), "");
}

TEST(OuterCheck, RequestsSentForOfflineAccount) {
  FakeService svc;
  svc.getremote = "0IDS_SERVER_OFFLINE";
  svc.checkauth = "1";
  OuterCheckResult r = CheckOuterAddress("http://x123.bb.cc", "x123", "pw", svc.Fn());
  ASSERT_EQ(svc.urls.size(), 2u);
  EXPECT_EQ(svc.urls[0], "http://user.bb.cc:808/func/getremote.asp?id=x123");
  EXPECT_EQ(svc.urls[1], "http://user.bb.cc:808/api/checkauth.asp?id=x123&pwd=pw");
  EXPECT_EQ(svc.timeouts[0], 20000);
  EXPECT_EQ(svc.timeouts[1], 20000);
  EXPECT_EQ(r.messageKey, "IDS_NOREG");
}

TEST(OuterCheck, EveryBranch) {
  using O = std::optional<std::string>;
  struct Case {
    O getremote;
    O checkauth;
    std::string key;
    std::string appendix;
    int requests;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, "IDS_CANNOTCONNECTSERVER", "", 1},
      {O("11.2.3.4:81"), std::nullopt, "IDS_CHECKNORM", "", 1},
      {O("1"), std::nullopt, "IDS_CHECKNORM", "", 1},
      {O("0IDS_SERVER_NOID"), std::nullopt, "IDS_NOID", "", 1},
      {O("0SOMETHING"), std::nullopt, "IDS_UNKNOWERR", "SOMETHING", 1},
      {O("0"), std::nullopt, "IDS_UNKNOWERR", "", 1},
      {O("<html>busy</html>"), std::nullopt, "IDS_UNKNOWERR", "<html>busy</html>", 1},
      {O(""), std::nullopt, "IDS_UNKNOWERR", "", 1},
      {O("0IDS_SERVER_OFFLINE"), std::nullopt, "IDS_CANNOTCONNECTSERVER", "", 2},
      {O("0IDS_SERVER_OFFLINE"), O("1"), "IDS_NOREG", "", 2},
      {O("0IDS_SERVER_OFFLINE"), O("0ERRIDS_SERVER_NOID"), "IDS_NOID", "", 2},
      {O("0IDS_SERVER_OFFLINE"), O("0ERRIDS_SERVER_NOAUTH"), "IDS_ERRPWD", "", 2},
      {O("0IDS_SERVER_OFFLINE"), O("0weird"), "IDS_UNKNOWERR", "weird", 2},
      {O("0IDS_SERVER_OFFLINE"), O(""), "IDS_UNKNOWERR", "", 2},
  };
  for (const auto& c : cases) {
    FakeService svc;
    svc.getremote = c.getremote;
    svc.checkauth = c.checkauth;
    OuterCheckResult r = CheckOuterAddress("http://x123.bb.cc", "x123", "pw", svc.Fn());
    SCOPED_TRACE(c.getremote.value_or("<none>") + " / " + c.checkauth.value_or("<none>"));
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.messageKey, c.key);
    EXPECT_EQ(r.appendix, c.appendix);
    EXPECT_EQ(r.requests, c.requests);
    EXPECT_EQ(svc.urls.size(), static_cast<size_t>(c.requests));
  }
}

TEST(OuterCheck, NothingWithoutDot) {
  FakeService svc;
  OuterCheckResult r = CheckOuterAddress("http://nodot", "x", "p", svc.Fn());
  EXPECT_FALSE(r.ran);
  EXPECT_TRUE(svc.urls.empty());
}

}  // namespace
}  // namespace kestrova::remote
