// The port-mapping tables and the ten steps behind OK, against a router played by an injected
// plug-in call: the router's answers are written here by hand as a plug-in sends them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/router/port_forward.h"

namespace kestrova::router {
namespace {

const std::string kValid = "\xD3\xD0\xD0\xA7";
const std::string kInvalid = "\xCE\xDE\xD0\xA7";

struct Entry {
  std::string name, ip, pub, pri, protocol, status = kValid, isUpdate = "0", pub2 = "", pri2 = "", orderId = "";
};

std::string Table(const std::vector<Entry>& entries, int count = -1, const std::string& maxCount = "32") {
  std::string x = "<?xml version=\"1.0\" encoding=\"GB2312\"?><PortForwards Count=\"" +
                  std::to_string(count < 0 ? int(entries.size()) : count) + "\" MaxCount=\"" + maxCount + "\">";
  for (const Entry& e : entries) {
    x += "<PortForward><Name>" + e.name + "</Name><IP>" + e.ip + "</IP><PubPort>" + e.pub + "</PubPort><PriPort>" +
         e.pri + "</PriPort>";
    if (!e.pub2.empty()) x += "<PubPort2>" + e.pub2 + "</PubPort2><PriPort2>" + e.pri2 + "</PriPort2>";
    x += "<Protocol>" + e.protocol + "</Protocol><Status>" + e.status + "</Status>";
    if (!e.orderId.empty()) x += "<OrderId>" + e.orderId + "</OrderId>";
    x += "<isUpdate>" + e.isUpdate + "</isUpdate></PortForward>";
  }
  return x + "</PortForwards>";
}

// A router behind a plug-in: GetPortForward answers `table`, SetPortForward keeps the request
// and answers with `setAnswer(request)` (by default the router's table is then the request).
struct FakeRouter {
  std::string table;
  int getCode = 0, setCode = 0;
  std::function<std::string(const std::string&)> setAnswer;
  std::vector<std::string> calls;
  std::string request;

  PluginCall Call() {
    return [this](const std::string& exportName, std::string& text) {
      calls.push_back(exportName);
      if (exportName == "GetPortForward") {
        EXPECT_TRUE(text.empty());
        text = table;
        return getCode;
      }
      request = text;
      text = setAnswer ? setAnswer(text) : text;
      return setCode;
    };
  }
};

TPortMapInput Ready() { return TPortMapInput{true, "admin", true}; }
ConflictQuestion Answer(bool yes, int* asked) {
  return [yes, asked] {
    ++*asked;
    return yes;
  };
}
bool Holds(const std::string& request, const std::string& part) { return request.find(part) != std::string::npos; }

TEST(PortMapping, AConflictIsAskedAndYesReplacesTheOtherDevicesEntryWhileNoWritesNothing) {
  for (bool yes : {true, false}) {
    FakeRouter router;
    router.table = Table({{"web", "192.168.1.50", "81", "81", "TCP"}});
    TPortForwardTables t;
    ASSERT_EQ(t.AddMapping("192.168.1.60", "81", "TCP"), TPortForwardTables::AddResult::Added);
    int asked = 0;
    const std::string key = RunPortMapping(t, Ready(), router.Call(), Answer(yes, &asked));
    EXPECT_EQ(asked, 1);
    if (yes) {
      EXPECT_EQ(key, "IDS_PORTFORWARD_OK");
      EXPECT_TRUE(Holds(router.request, "<Name>192.168.1.60:81</Name><IP>192.168.1.60</IP>"));
      EXPECT_FALSE(Holds(router.request, "192.168.1.50"));
      EXPECT_TRUE(Holds(router.request, "Count=\"1\" MaxCount=\"32\""));
    } else {
      EXPECT_EQ(key, "IDS_PORT_USING");
      EXPECT_EQ(router.calls, std::vector<std::string>{"GetPortForward"});
    }
  }
}

TEST(PortMapping, AnEntryTheRouterAlreadyHoldsForTheCameraIsNotAddedAgain) {
  FakeRouter router;
  router.table = Table({{"cam", "192.168.1.60", "81", "81", "TCP+UDP", kValid, "0", "", "", "k7"}});
  TPortForwardTables t;
  t.AddMapping("192.168.1.60", "81", "TCP");
  int asked = 0;
  EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), "IDS_PORTFORWARD_OK");
  EXPECT_EQ(asked, 0);
  // The unchanged table goes back, the router's own key with it.
  EXPECT_TRUE(Holds(router.request, "Count=\"1\""));
  EXPECT_TRUE(Holds(router.request, "<Name>cam</Name><IP>192.168.1.60</IP><PubPort>81</PubPort><PriPort>81</PriPort>"
                                    "<Protocol>TCP+UDP</Protocol><Status>" + kValid + "</Status><OrderId>k7</OrderId>"
                                    "<isUpdate>0</isUpdate>"));
}

TEST(PortMapping, TheRequestHasTheElementsInTheirOrder) {
  FakeRouter router;
  router.table = Table({}, 0, "16");
  TPortForwardTables t;
  t.AddMapping("192.168.1.60", "81", "TCP");
  t.AddMapping("192.168.1.60", "9000", "TCP");
  int asked = 0;
  // An empty router table: nothing to write back before the camera's rows are merged.
  EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), "IDS_PORTFORWARD_OK");
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<PortForwards Count=\"2\" MaxCount=\"16\">\r\n"
      "  <PortForward><Name>192.168.1.60:81</Name><IP>192.168.1.60</IP><PubPort>81</PubPort><PriPort>81</PriPort>"
      "<Protocol>TCP</Protocol><Status>\xD3\xD0\xD0\xA7</Status><OrderId></OrderId><isUpdate>1</isUpdate></PortForward>\r\n"
      "  <PortForward><Name>192.168.1.60:9000</Name><IP>192.168.1.60</IP><PubPort>9000</PubPort><PriPort>9000</PriPort>"
      "<Protocol>TCP</Protocol><Status>\xD3\xD0\xD0\xA7</Status><OrderId></OrderId><isUpdate>1</isUpdate></PortForward>\r\n"
      "</PortForwards>\r\n";
  EXPECT_EQ(router.request, expected);
}

TEST(PortMapping, SecondPortsAreWrittenOnlyWhenTheLastEntryReadCarriedThem) {
  struct Case {
    const char* first2;
    const char* last2;
    bool written;
  } cases[] = {{"8081", "", false}, {"", "8082", true}, {"8081", "8082", true}, {"", "", false}};
  for (const Case& c : cases) {
    FakeRouter router;
    router.table = Table({{"a", "192.168.1.2", "80", "80", "TCP", kValid, "0", c.first2, c.first2},
                          {"b", "192.168.1.3", "90", "90", "TCP", kValid, "0", c.last2, c.last2}});
    TPortForwardTables t;
    t.AddMapping("192.168.1.60", "81", "TCP");
    int asked = 0;
    EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), "IDS_PORTFORWARD_OK");
    EXPECT_EQ(Holds(router.request, "<PubPort2>"), c.written) << c.first2 << "/" << c.last2;
    if (c.written) {
      EXPECT_TRUE(Holds(router.request, "<PubPort2>81</PubPort2><PriPort2>81</PriPort2>"));
    }
  }
}

TEST(PortMapping, EveryStatusCodeEndsWithItsMessage) {
  const std::pair<int, const char*> codes[] = {
      {1, "IDS_INVALID_USER"},    {2, "IDS_SELECT_ROUTER"},    {3, "IDS_GETDATA_ERROR"},
      {4, "IDS_DATA_ERROR"},      {5, "IDS_GETROUTER_ERROR"},  {6, "IDS_PROGRAM_ERROR"},
      {7, "IDS_PARAMETER_ERROR"}, {8, "IDS_GETROUTER_ERROR"},  {255, "IDS_GETROUTER_ERROR"}};
  for (auto [code, key] : codes) {
    for (bool onWrite : {false, true}) {
      FakeRouter router;
      router.table = Table({});
      (onWrite ? router.setCode : router.getCode) = code;
      TPortForwardTables t;
      t.AddMapping("192.168.1.60", "81", "TCP");
      int asked = 0;
      EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), key) << code << " " << onWrite;
      EXPECT_EQ(router.calls.size(), onWrite ? 2u : 1u);
    }
  }
}

TEST(PortMapping, ARouterAnswerThatIsNotATableEndsTheRunBeforeAnythingIsWritten) {
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "<PortForward><IP>10.0.0.1</IP><PubPort>1</PubPort></PortForward>";
  const std::string answers[] = {
      "",
      "not xml at all",
      Table({{"a", "192.168.1.2", "80", "80", "TCP"}}, 2),  // says two, holds one
      "<PortForwards Count=\"2147483647\" MaxCount=\"1\">" + many + "</PortForwards>",  // far more than it holds
      "<PortForwards Count=\"-1\" MaxCount=\"1\"/>",
      "<PortForwards Count=\"1\"><PortForward/></PortForwards>",  // no MaxCount
      "<PortForwards Count=\"x\" MaxCount=\"1\"/>",
      Table({{"a", "192.168.1.2", "eighty", "80", "TCP"}}),
  };
  for (const std::string& a : answers) {
    FakeRouter router;
    router.table = a;
    TPortForwardTables t;
    t.AddMapping("192.168.1.60", "81", "TCP");
    int asked = 0;
    EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), "IDS_GETROUTER_ERROR") << a.substr(0, 80);
    EXPECT_EQ(router.calls.size(), 1u);
  }
}

TEST(PortMapping, TheRoutersConfirmationIsComparedByEntryWithCaseAndBlanksIgnored) {
  struct Case {
    const char* what;
    std::function<std::string(const std::string&)> answer;
    const char* key;
  } cases[] = {
      {"the request itself", nullptr, "IDS_PORTFORWARD_OK"},
      {"lower case and blanks",
       [](const std::string&) {
         return Table({{"a", " 192.168.1.2 ", "80", "80", "tcp", kValid}, {"x", "192.168. 1.60", "81", "81", "tcp", kValid}});
       },
       "IDS_PORTFORWARD_OK"},
      {"one entry missing",
       [](const std::string&) { return Table({{"a", "192.168.1.2", "80", "80", "TCP", kValid}}); },
       "IDS_PORTFORWART_ERR"},
      {"an entry the request did not hold first",
       [](const std::string&) {
         return Table({{"z", "192.168.1.9", "70", "70", "TCP", kValid}, {"a", "192.168.1.2", "80", "80", "TCP", kValid},
                       {"x", "192.168.1.60", "81", "81", "TCP", kValid}});
       },
       "IDS_PORTFORWART_ERR"},
      {"entries marked 3 or 4 are left out of the comparison",
       [](const std::string&) {
         return Table({{"z", "192.168.1.9", "70", "70", "TCP", kValid, "4"}, {"a", "192.168.1.2", "80", "80", "TCP", kValid},
                       {"x", "192.168.1.60", "81", "81", "TCP", kValid, "1"}});
       },
       "IDS_PORTFORWARD_OK"},
      {"status changed to invalid",
       [](const std::string&) {
         return Table({{"a", "192.168.1.2", "80", "80", "TCP", kValid}, {"x", "192.168.1.60", "81", "81", "TCP", kInvalid}});
       },
       "IDS_PORTFORWART_ERR"},
      {"an empty table", [](const std::string&) { return Table({}); }, "IDS_PORTFORWART_ERR"},
      {"not XML", [](const std::string&) { return std::string("OK"); }, "IDS_PORTFORWART_ERR"},
  };
  for (const Case& c : cases) {
    FakeRouter router;
    router.table = Table({{"a", "192.168.1.2", "80", "80", "TCP"}});
    router.setAnswer = c.answer;
    TPortForwardTables t;
    t.AddMapping("192.168.1.60", "81", "TCP");
    int asked = 0;
    EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), c.key) << c.what;
  }
}

TEST(PortMapping, TheChecksBeforeTheRouterIsCalled) {
  struct Case {
    TPortMapInput in;
    bool withMapping;
    const char* key;
  } cases[] = {
      {{false, "admin", true}, true, "IDS_SELECTROUTER_ERROR"},
      {{true, "", true}, true, "IDS_NOUSER"},
      {{true, "admin", false}, true, "IDS_DLL_NOTFOUND"},
      {{true, "admin", true}, false, "IDS_SELECTPORT_ERROR"},
  };
  for (const Case& c : cases) {
    FakeRouter router;
    router.table = Table({});
    TPortForwardTables t;
    if (c.withMapping) t.AddMapping("192.168.1.60", "81", "TCP");
    int asked = 0;
    EXPECT_EQ(RunPortMapping(t, c.in, router.Call(), Answer(true, &asked)), c.key);
    EXPECT_TRUE(router.calls.empty()) << c.key;
  }
}

TEST(PortMapping, ARequestTooLargeForThePluginBufferIsRefusedBeforeTheCall) {
  std::vector<Entry> entries;
  for (int i = 0; i < 1200; ++i)
    entries.push_back({"entry-with-a-long-name-" + std::to_string(i), "192.168.1.2", std::to_string(1000 + i),
                       std::to_string(1000 + i), "TCP", kValid, "0", "", "", "order-" + std::to_string(i)});
  FakeRouter router;
  router.table = Table(entries);
  TPortForwardTables t;
  t.AddMapping("192.168.1.60", "81", "TCP");
  int asked = 0;
  EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(true, &asked)), "IDS_CREATEXML_ERROR");
  EXPECT_EQ(router.calls, std::vector<std::string>{"GetPortForward"});
}

TEST(PortMapping, PressingOkAgainStartsOverFromTheRoutersTable) {
  FakeRouter router;
  router.table = Table({{"web", "192.168.1.50", "81", "81", "TCP"}});
  TPortForwardTables t;
  t.AddMapping("192.168.1.60", "81", "TCP");
  int asked = 0;
  EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(false, &asked)), "IDS_PORT_USING");
  // Meanwhile the other device's entry went away: the second run finds no conflict.
  router.table = Table({});
  EXPECT_EQ(RunPortMapping(t, Ready(), router.Call(), Answer(false, &asked)), "IDS_PORTFORWARD_OK");
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(Holds(router.request, "<IP>192.168.1.60</IP>"));
}

TEST(PortMapping, AddingAMappingChecksTheRoutersRowsFirst) {
  struct Case {
    const char* what;
    Entry row;
    const char* port;
    TPortForwardTables::AddResult result;
    size_t routerRowsAfter;
  } cases[] = {
      {"public port of another device", {"o", "192.168.1.50", "81", "9", "TCP"}, "81", TPortForwardTables::AddResult::Exists, 1},
      {"private port of another device", {"o", "192.168.1.50", "9", "81", "TCP"}, "81", TPortForwardTables::AddResult::Exists, 1},
      {"the camera's own port for UDP only", {"o", "192.168.1.60", "81", "81", "UDP"}, "81", TPortForwardTables::AddResult::Ignored, 1},
      {"the camera's own invalid entry", {"o", "192.168.1.60", "81", "81", "TCP", kInvalid}, "81", TPortForwardTables::AddResult::Added, 0},
      {"the camera's own valid TCP+UDP entry", {"o", "192.168.1.60", "81", "81", "TCP+UDP"}, "81", TPortForwardTables::AddResult::Added, 1},
      {"another port", {"o", "192.168.1.50", "82", "82", "TCP"}, "81", TPortForwardTables::AddResult::Added, 1},
      {"port 0", {"o", "192.168.1.50", "82", "82", "TCP"}, "0", TPortForwardTables::AddResult::Ignored, 1},
      {"port 65536", {"o", "192.168.1.50", "82", "82", "TCP"}, "65536", TPortForwardTables::AddResult::Ignored, 1},
      {"port text", {"o", "192.168.1.50", "82", "82", "TCP"}, "8a", TPortForwardTables::AddResult::Ignored, 1},
  };
  for (const Case& c : cases) {
    TPortForwardTables t;
    ASSERT_TRUE(t.ParseRouterTable(Table({c.row})));
    EXPECT_EQ(t.AddMapping("192.168.1.60", c.port, "TCP"), c.result) << c.what;
    EXPECT_EQ(t.VisibleRouterRows().size(), c.routerRowsAfter) << c.what;
    EXPECT_EQ(t.VisibleNeedRows().size(), c.result == TPortForwardTables::AddResult::Added ? 1u : 0u) << c.what;
  }
}

TEST(PluginAnswer, IsReadUpToItsNulAndNeverPastTheBuffer) {
  const char withNul[] = {'a', 'b', 0, 'c'};
  EXPECT_EQ(AnswerText(withNul, sizeof withNul), "ab");
  const char full[] = {'x', 'y', 'z'};
  EXPECT_EQ(AnswerText(full, sizeof full), "xyz");
  EXPECT_EQ(AnswerText(nullptr, 10), "");
}

TEST(PublicAddress, CarrierGradeNatIsTheSharedAddressSpaceOnly) {
  const struct {
    const char* ip;
    bool cgn;
  } cases[] = {
      {"100.64.0.0", true},    {"100.64.0.1", true},   {"100.127.255.255", true}, {"100.63.255.255", false},
      {"100.128.0.0", false},  {"203.0.113.1", false}, {"10.0.0.1", false},       {"100.064.0.1", false},
      {"100.64.0.1:80", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsCarrierGradeNat(c.ip), c.cgn) << c.ip;
}

TEST(PublicAddress, ComesFromTheReadAndStaysWhenTheWriteAnswerHasNone) {
  auto root = [](const std::string& attr) {
    return "<PortForwards Count=\"1\" MaxCount=\"8\"" + attr +
           "><a><IP>192.168.1.60</IP><PubPort>81</PubPort><PriPort>81</PriPort><Protocol>TCP</Protocol><Status>" +
           kValid + "</Status><isUpdate>0</isUpdate></a></PortForwards>";
  };
  TPortForwardTables t;
  ASSERT_TRUE(t.ParseRouterTable(root(" WanAddress=\"100.70.1.2\"")));
  EXPECT_EQ(t.WanAddress, "100.70.1.2");
  EXPECT_TRUE(t.VerifyReply(root(""), root("")));
  EXPECT_EQ(t.WanAddress, "100.70.1.2");
  EXPECT_TRUE(t.VerifyReply(root(""), root(" WanAddress=\"198.51.100.7\"")));
  EXPECT_EQ(t.WanAddress, "198.51.100.7");
  // Not an address: ignored.
  ASSERT_TRUE(t.ParseRouterTable(root(" WanAddress=\"x.example\"")));
  EXPECT_EQ(t.WanAddress, "");
}

}  // namespace
}  // namespace kestrova::router
