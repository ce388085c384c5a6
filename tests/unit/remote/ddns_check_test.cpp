#include "core/remote/ddns_check.h"

#include <gtest/gtest.h>

#include "core/i18n/lang.h"
#include "core/settings/ini_file.h"
#include "unit/remote/check_fakes.h"

namespace kestrova::remote {
namespace {

using testing::FakeGet;
using testing::KeyTexts;
using testing::Reply;
using Lines = std::vector<std::string>;

struct CheckRun {
  TResultBox box;
  std::vector<int> codes;
};

CheckRun Check(const TDdnsCheckInput& in, FakeGet& svc, int32_t factoryStatus = 0,
          std::optional<int32_t> oray = std::nullopt, const TCheckTexts& texts = KeyTexts()) {
  CheckRun r;
  TDdnsCheckIo io;
  io.Get = svc.Fn();
  io.FactoryStatus = [factoryStatus] { return factoryStatus; };
  io.OrayState = [oray] { return oray; };
  RunDdnsCheck(in, io, texts, [&r](int code, const std::string& text) {
    r.codes.push_back(code);
    r.box.Apply(code, text);
  });
  return r;
}

TDdnsCheckInput Camera(int32_t family) {
  TDevInfo dev;
  dev.DevType = family;
  dev.IP = "192.168.0.50";
  dev.HttpPort = 81;
  dev.DDnsServer = "www.ddns.test";
  dev.DDnsUser = "rec0001";
  dev.DDnsPwd = "recpw";
  return DdnsCheckInputOf(dev, "admin", "camera pw");
}

const std::string kGood =
    "var id='x';\r\nvar ddns_service=7;\r\nvar ddns_proxy_svr='f2.ddns.test';\r\nvar ddns_proxy_port=808;\r\n"
    "var ddns_user='f2user';\r\nvar ddns_pwd='f2pw';\r\n";

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  s.replace(s.find(from), from.size(), to);
  return s;
}

// Every branch of the registration and account checks, asked with the record's values.
TEST(DdnsCheck, RegistrationAndAccountBranches) {
  const std::string offline = "0IDS_SERVER_OFFLINE";
  struct Case {
    const char* name;
    Reply getRemote, checkAuth;
    Lines lines;
    bool success;
    size_t requests;
  } cases[] = {
      {"no answer", std::nullopt, std::nullopt, {"<IDS_CHECKDDNS2>", "    <IDS_CANNOTCONNECTSERVER>"}, false, 1},
      {"online", "1203.0.113.9:81", std::nullopt, {"<IDS_CHECKDDNS2>\t\tOK!"}, true, 1},
      {"online, no address", "1", std::nullopt, {"<IDS_CHECKDDNS2>\t\tOK!"}, true, 1},
      {"unknown ID", "0IDS_SERVER_NOID", std::nullopt,
       {"<IDS_CHECKDDNS2>", "    <IDS_NOID>", "    Approach:", "        1.a;", "        2.b."}, false, 1},
      {"offline, account right", offline, "1", {"<IDS_CHECKDDNS2>", "    <IDS_NOREG>", "    <IDS_CHECKDDNS2_ERR_DO2>"}, false, 2},
      {"offline, account check unanswered", offline, std::nullopt, {"<IDS_CHECKDDNS2>", "    <IDS_CANNOTCONNECTSERVER>"}, false, 2},
      {"offline, ID unknown", offline, "0ERRIDS_SERVER_NOID", {"<IDS_CHECKDDNS2>", "    <IDS_NOID>"}, false, 2},
      {"offline, wrong password", offline, "0ERRIDS_SERVER_NOAUTH", {"<IDS_CHECKDDNS2>", "    <IDS_ERRPWD>"}, false, 2},
      {"offline, account answer odd", offline, "0ERRIDS_SERVER_NOAUTH ", {"<IDS_CHECKDDNS2>", "    <IDS_UNKNOWERR>"}, false, 2},
      {"offline, account answer empty", offline, "", {"<IDS_CHECKDDNS2>", "    <IDS_UNKNOWERR>"}, false, 2},
      {"offline with a trailing blank", "0IDS_SERVER_OFFLINE ", "1", {"<IDS_CHECKDDNS2>", "    <IDS_UNKNOWERR>"}, false, 1},
      {"lower-case rest", "0ids_server_noid", std::nullopt, {"<IDS_CHECKDDNS2>", "    <IDS_UNKNOWERR>"}, false, 1},
      {"empty reply", "", std::nullopt, {"<IDS_CHECKDDNS2>", "    <IDS_UNKNOWERR>"}, false, 1},
      {"binary reply", std::string("\x7f" "ELF\x01\x02", 6), std::nullopt, {"<IDS_CHECKDDNS2>", "    <IDS_UNKNOWERR>"}, false, 1},
  };
  for (int family : {4, 8}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " family " + std::to_string(family));
      FakeGet svc;
      svc.getRemote = c.getRemote;
      svc.checkAuth = c.checkAuth;
      CheckRun r = Check(Camera(family), svc);
      EXPECT_EQ(r.box.Lines(), c.lines);
      EXPECT_EQ(r.box.Succeeded(), c.success);
      ASSERT_EQ(svc.urls.size(), c.requests);
      EXPECT_EQ(svc.urls[0], "http://www.ddns.test:808/func/getremote.asp?id=rec0001");
      if (c.requests == 2) {
        EXPECT_EQ(svc.urls[1], "http://www.ddns.test:808/api/checkauth.asp?id=rec0001&pwd=recpw");
      }
      for (int t : svc.timeouts) EXPECT_EQ(t, 20000);
    }
  }
}

// Family 2 reads its options from the camera: each failing test ends the check with its line.
TEST(DdnsCheck, Family2Options) {
  struct Case {
    const char* name;
    Reply params;
    Lines lines;
  } cases[] = {
      {"no answer", std::nullopt, {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR6>"}},
      {"no var", "<html>401 Unauthorized</html>", {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR5>"}},
      {"no service", Replace(kGood, "var ddns_service=7;", ""), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR>"}},
      {"empty service", Replace(kGood, "=7;", "='';"), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR>"}},
      {"other service", Replace(kGood, "=7;", "=3;"), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR2>"}},
      {"no server", Replace(kGood, "'f2.ddns.test'", "''"), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR3>"}},
      {"port 0", Replace(kGood, "port=808", "port=0"), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR3>"}},
      {"no port", Replace(kGood, "var ddns_proxy_port=808;", ""), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR3>"}},
      {"no account", Replace(kGood, "'f2user'", "''"), {"<IDS_CHECKDDNS_GETCONFIG>", "<IDS_CHECKDDNS_GETCONFIG_ERR4>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGet svc;
    svc.getParams = c.params;
    svc.getRemote = "1";
    CheckRun r = Check(Camera(2), svc);
    EXPECT_EQ(r.box.Lines(), c.lines);
    EXPECT_FALSE(r.box.Succeeded());
    // No registration check after a failure.
    ASSERT_EQ(svc.urls.size(), 1u);
    EXPECT_EQ(svc.urls[0], "http://192.168.0.50:81/get_params.cgi?user=admin&pwd=camera%20pw");
    EXPECT_EQ(svc.timeouts[0], 5000);
  }
}

// With good options the first line becomes the options text with its success, and the service
// is asked with the camera's own values, not the record's.
TEST(DdnsCheck, Family2GoodOptionsAskWithTheCamerasValues) {
  for (const std::string& params : {kGood, Replace(Replace(Replace(kGood, "'f2.ddns.test'", "\"f2.ddns.test\""),
                                                           "'f2user'", "\"f2user\""), "'f2pw'", "\"f2pw\"")}) {
    SCOPED_TRACE(params);
    FakeGet svc;
    svc.getParams = params;
    svc.getRemote = "0IDS_SERVER_OFFLINE";
    svc.checkAuth = "0ERRIDS_SERVER_NOAUTH";
    CheckRun r = Check(Camera(2), svc);
    EXPECT_EQ(r.box.Lines(), (Lines{"<IDS_CHECKDDNS_GETCONFIG>\t\tSuccess!", "<IDS_CHECKDDNS2>", "    <IDS_ERRPWD>"}));
    EXPECT_EQ(r.codes, (std::vector<int>{0, 1, 0, 0}));
    ASSERT_EQ(svc.urls.size(), 3u);
    EXPECT_EQ(svc.urls[1], "http://f2.ddns.test:808/func/getremote.asp?id=f2user");
    EXPECT_EQ(svc.urls[2], "http://f2.ddns.test:808/api/checkauth.asp?id=f2user&pwd=f2pw");
  }
}

TEST(DdnsCheck, Family9FactoryStatus) {
  const char* failure[] = {nullptr,
                           "<IDS_CHECKDDNS_GETCONFIG_ERR>",
                           "<IDS_CHECKDDNS_GETCONFIG_ERR2>",
                           "<IDS_CHECKDDNS_GETCONFIG_ERR3>",
                           "<IDS_CHECKDDNS_GETCONFIG_ERR4>",
                           "<IDS_CHECKDDNS_GETCONFIG_ERR5>",
                           "<IDS_CHECKDDNS_GETCONFIG_ERR6>"};
  for (int32_t status = 0; status <= 7; ++status) {
    SCOPED_TRACE(status);
    FakeGet svc;
    svc.getRemote = "1";
    CheckRun r = Check(Camera(9), svc, status);
    if (status == 0) {
      // The registration check uses the record's values.
      EXPECT_EQ(r.box.Lines(), (Lines{"<IDS_CHECKDDNS_GETCONFIG>\t\tSuccess!", "<IDS_CHECKDDNS2>\t\tOK!"}));
      EXPECT_TRUE(r.box.Succeeded());
      ASSERT_EQ(svc.urls.size(), 1u);
      EXPECT_EQ(svc.urls[0], "http://www.ddns.test:808/func/getremote.asp?id=rec0001");
    } else if (status <= 6) {
      EXPECT_EQ(r.box.Lines(), (Lines{"<IDS_CHECKDDNS_GETCONFIG>", failure[status]}));
      EXPECT_TRUE(svc.urls.empty());
    } else {
      EXPECT_EQ(r.box.Lines(), (Lines{"<IDS_CHECKDDNS_GETCONFIG>"}));
      EXPECT_TRUE(svc.urls.empty());
    }
  }
}

TEST(DdnsCheck, Family5DdnsClientState) {
  struct Case {
    std::optional<int32_t> state;
    Lines lines;
    bool success;
  } cases[] = {
      {std::nullopt, {"<IDS_CHECKING2>", "    <IDS_UNKNOWERR>"}, false},
      {0, {"<IDS_CHECKDDNS2>\t\tOK!"}, true},
      {1, {"<IDS_CHECKING2>", "    <IDS_CANNOTCONNECTSERVER>"}, false},
      {4, {"<IDS_CHECKING2>", "    <IDS_CANNOTCONNECTSERVER>"}, false},
      {2, {"<IDS_CHECKING2>", "    <IDS_UNKNOWERR>"}, false},
      {5, {"<IDS_CHECKING2>", "    <IDS_UNKNOWERR>"}, false},
      {3, {"<IDS_CHECKING2>", "    <IDS_NOREG>"}, false},
      {6, {"<IDS_CHECKING2>"}, false},
      {-1, {"<IDS_CHECKING2>"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state ? std::to_string(*c.state) : "no connection");
    FakeGet svc;
    CheckRun r = Check(Camera(5), svc, 0, c.state);
    EXPECT_EQ(r.box.Lines(), c.lines);
    EXPECT_EQ(r.box.Succeeded(), c.success);
    EXPECT_TRUE(svc.urls.empty());  // the camera's own client asks the service
  }
}

// An ID, a password or a server name with reserved characters cannot change the requests.
TEST(DdnsCheck, ReservedCharactersStayInTheirValue) {
  TDdnsCheckInput in = Camera(8);
  in.Id = "a&pwd=x#1";
  in.Password = "p w+%&id=y";
  FakeGet svc;
  svc.getRemote = "0IDS_SERVER_OFFLINE";
  svc.checkAuth = "1";
  Check(in, svc);
  ASSERT_EQ(svc.urls.size(), 2u);
  EXPECT_EQ(svc.urls[0], "http://www.ddns.test:808/func/getremote.asp?id=a%26pwd%3Dx%231");
  EXPECT_EQ(svc.urls[1], "http://www.ddns.test:808/api/checkauth.asp?id=a%26pwd%3Dx%231&pwd=p%20w%2B%25%26id%3Dy");

  // A server name that is no host name goes nowhere.
  in.Server = "evil.test/x?y=";
  FakeGet svc2;
  CheckRun r = Check(in, svc2);
  EXPECT_EQ(r.box.Lines(), (Lines{"<IDS_CHECKDDNS2>", "    <IDS_CANNOTCONNECTSERVER>"}));
  ASSERT_EQ(svc2.urls.size(), 1u);
  EXPECT_EQ(svc2.urls[0].rfind("http://evil.test:808/", 0), 0u);
}

// The English texts as the language file gives them: the family-2 success line and the
// indented multi-line advice.
TEST(DdnsCheck, EnglishLines) {
  TCheckTexts en;
  for (const auto& f : EmbeddedLanguageFiles()) {
    if (std::string(f.code) != "en") continue;
    TIniFile ini = TIniFile::FromText(f.bytes);
    en = LoadCheckTexts([&ini](const std::string& key) { return ReadEscaped(ini, "StrRes", key, ""); });
  }
  ASSERT_FALSE(CheckText(en, "IDS_CHECKDDNS2").empty());

  FakeGet svc;
  svc.getParams = kGood;
  svc.getRemote = "1f2.example:81";
  CheckRun r = Check(Camera(2), svc, 0, std::nullopt, en);
  EXPECT_EQ(r.box.Lines(), (Lines{"Obtaining DDNS options from the camera...\t\tSuccess!",
                                  "Obtaining DDNS registration status ...\t\tSuccess!"}));

  FakeGet svc2;
  svc2.getRemote = "0IDS_SERVER_NOID";
  r = Check(Camera(8), svc2, 0, std::nullopt, en);
  EXPECT_EQ(r.box.Lines(), (Lines{"Obtaining DDNS registration status ...",
                                  "    Error: no DDNS account.",
                                  "",
                                  "Please check the DDNS setting in the camera.",
                                  "    Approach:",
                                  "        1.Check whether SN setting is correct;",
                                  "        2.Please contact product vendor technical support."}));

  FakeGet svc3;
  svc3.getParams = Replace(kGood, "port=808", "port=0");
  r = Check(Camera(2), svc3, 0, std::nullopt, en);
  EXPECT_EQ(r.box.Lines(), (Lines{"Obtaining DDNS options from the camera...",
                                  "\tFailure: DDNS server and port were not set, click the Settings button to change the settings."}));
}

TEST(SetDdns, Family2Write) {
  EXPECT_EQ(SetDdnsF2Url("http://192.168.0.50:81", "admin", "", " new id ", " pw ", " www.ddns.test "),
            "http://192.168.0.50:81/set_ddns.cgi?cam_user=admin&cam_pwd=&service=7&user=new%20id&pwd=pw"
            "&host=&proxy_svr=www.ddns.test&proxy_port=808&restart_dyndns=1");
  // Reserved characters stay inside their values.
  EXPECT_EQ(SetDdnsF2Url("http://h", "a&b", "c=d", "i&proxy_port=1", "p#", "s?x"),
            "http://h/set_ddns.cgi?cam_user=a%26b&cam_pwd=c%3Dd&service=7&user=i%26proxy_port%3D1&pwd=p%23"
            "&host=&proxy_svr=s%3Fx&proxy_port=808&restart_dyndns=1");
  EXPECT_EQ(SetDdnsF2Url("", "a", "b", "c", "d", "e"), "");

  struct Case {
    int32_t family;
    Reply reply;
    TSetDdnsResult result;
    size_t requests;
  } cases[] = {
      {2, "var result=\"ok\";", TSetDdnsResult::Taken, 1},
      {2, "", TSetDdnsResult::Taken, 1},
      {2, "<html>401 Unauthorized</html>", TSetDdnsResult::WrongAccount, 1},
      {2, std::nullopt, TSetDdnsResult::NoConnection, 1},
      {8, "ok", TSetDdnsResult::NotSupported, 0},
      {9, "ok", TSetDdnsResult::NotSupported, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> urls;
    std::vector<int> timeouts;
    HttpGetFn get = [&](const std::string& url, int t) {
      urls.push_back(url);
      timeouts.push_back(t);
      return c.reply;
    };
    EXPECT_EQ(SetDdnsAccount(c.family, "http://192.168.0.50", "admin", "", "id", "pw", "srv", get), c.result);
    ASSERT_EQ(urls.size(), c.requests);
    if (c.requests) {
      EXPECT_EQ(timeouts[0], 10000);
    }
  }
  EXPECT_EQ(SetDdnsMessageKey(TSetDdnsResult::NoConnection), "IDS_CANTCONNECT");
  EXPECT_EQ(SetDdnsMessageKey(TSetDdnsResult::WrongAccount), "IDS_ERRAUTH");
  EXPECT_EQ(SetDdnsMessageKey(TSetDdnsResult::Taken), "");
}

}  // namespace
}  // namespace kestrova::remote

namespace kestrova::remote {
namespace {

// The countdown after the account write: the list is looked at only after 30 whole seconds,
// then every 100 ms until the 40 seconds are over.
TEST(SetDdns, WaitForTheCameraToComeBack) {
  struct Case {
    int backAtMs;   // the camera is listed from then on (-1 never)
    int stopAtMs;   // pause refuses from then on (-1 never)
    int result;
    int endedAtMs;
  } cases[] = {
      {0, -1, 0, 31000},       // listed all along: seen once 31 whole seconds have passed
      {10000, -1, 0, 31000},
      {35000, -1, 0, 35000},
      {39800, -1, 0, 39800},
      {39900, -1, 0, 39900},
      {40000, -1, 2, 40000},   // time runs out at the same moment
      {-1, -1, 2, 40000},
      {-1, 5000, 1, 5000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.backAtMs);
    int now = 0, looks = 0;
    int r = WaitForCameraBack(
        kSetDdnsWaitSeconds,
        [&](int ms) {
          if (c.stopAtMs >= 0 && now + ms > c.stopAtMs) return false;
          now += ms;
          return true;
        },
        [&] {
          ++looks;
          EXPECT_GE(now, 31000);
          return c.backAtMs >= 0 && now >= c.backAtMs;
        });
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(now, c.endedAtMs);
  }
}

}  // namespace
}  // namespace kestrova::remote
