#include "core/remote/port_forward_check.h"

#include <gtest/gtest.h>

#include "unit/remote/check_fakes.h"

namespace kestrova::remote {
namespace {

using testing::FakeGet;
using testing::KeyTexts;
using testing::Reply;
using Lines = std::vector<std::string>;

struct CheckRun {
  TResultBox box;
  std::vector<std::pair<int, std::string>> reports;
  std::vector<int> pauses;
  // The box as it stood after each report: the progress line is seen while attempts fail.
  std::vector<Lines> seen;
};

CheckRun Check(FakeGet& svc, const std::string& server = "www.ddns.test") {
  CheckRun r;
  RunPortForwardCheck(server, "cam01", svc.Fn(), [&r](int ms) { r.pauses.push_back(ms); }, KeyTexts(),
                      [&r](int code, const std::string& text) {
                        r.reports.emplace_back(code, text);
                        r.box.Apply(code, text);
                        r.seen.push_back(r.box.Lines());
                      });
  return r;
}

const std::string kNotConnect = "Checking...\t\tFailure, server www.ddns.test.";

TEST(PortForwardCheck, RegistrationOutcomes) {
  struct Case {
    const char* name;
    Reply reply;
    Lines lines;
  } cases[] = {
      {"service unreachable", std::nullopt, {kNotConnect}},
      {"unknown ID", "0IDS_SERVER_NOID", {"    <IDS_NOID>", "    Approach:", "        1.a;", "        2.b."}},
      {"offline", "0IDS_SERVER_OFFLINE", {"    <IDS_DEVOFFLINE>"}},
      {"offline with a trailing blank", "0IDS_SERVER_OFFLINE ", {"    <IDS_UNKNOWERR>"}},
      {"empty", "", {"    <IDS_UNKNOWERR>"}},
      {"other", "2whatever", {"    <IDS_UNKNOWERR>"}},
      // Online, but the address is not one a request may carry: nothing is probed.
      {"online without address", "1", {"    <IDS_UNKNOWERR>"}},
      {"online with a path", "11.2.3.4:81/x?y", {"    <IDS_UNKNOWERR>"}},
      {"online with control bytes", "11.2.3.4\r\nHost: x", {"    <IDS_UNKNOWERR>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGet svc;
    svc.getRemote = c.reply;
    svc.checkUrl = {Reply("1")};
    CheckRun r = Check(svc);
    EXPECT_EQ(r.box.Lines(), c.lines);
    EXPECT_FALSE(r.box.Succeeded());
    ASSERT_EQ(svc.urls.size(), 1u);
    EXPECT_EQ(svc.urls[0], "http://www.ddns.test:808/func/getremote.asp?id=cam01");
    EXPECT_EQ(svc.timeouts[0], 20000);
  }
}

// Up to three probes with the progress line counting on; the last one's outcome decides.
TEST(PortForwardCheck, ThreeProbes) {
  struct Case {
    const char* name;
    std::deque<Reply> probes;
    size_t requests;
    Lines lines;
    bool success;
    std::vector<std::string> progress;  // the last line after each report
  } cases[] = {
      {"first probe answered", {Reply("1")}, 1, {"<IDS_CHECKSUCC>"}, true, {"Checking...1", "<IDS_CHECKSUCC>"}},
      {"second probe answered", {Reply("0"), Reply("1")}, 2, {"<IDS_CHECKSUCC>"}, true,
       {"Checking...1", "Checking...2", "<IDS_CHECKSUCC>"}},
      {"third probe answered", {Reply("0"), std::nullopt, Reply("1ok")}, 3, {"<IDS_CHECKSUCC>"}, true,
       {"Checking...1", "Checking...2", "Checking...3", "<IDS_CHECKSUCC>"}},
      {"three refusals", {Reply("0")}, 3,
       {"<IDS_CHECKFAIL_NOTCONNECTDEV>", "    <IDS_CHECKDO_PORTFORWARD2>"}, false,
       {"Checking...1", "Checking...2", "Checking...3", "Checking...4", "<IDS_CHECKFAIL_NOTCONNECTDEV>",
        "    <IDS_CHECKDO_PORTFORWARD2>"}},
      {"three silences", {std::nullopt}, 3, {kNotConnect, "    <IDS_CHECKDO_PORTFORWARD>"}, false,
       {"Checking...1", "Checking...2", "Checking...3", "Checking...4", kNotConnect, "    <IDS_CHECKDO_PORTFORWARD>"}},
      // Only the last attempt counts.
      {"refused, then silence", {Reply("0"), Reply("0"), std::nullopt}, 3,
       {kNotConnect, "    <IDS_CHECKDO_PORTFORWARD>"}, false,
       {"Checking...1", "Checking...2", "Checking...3", "Checking...4", kNotConnect, "    <IDS_CHECKDO_PORTFORWARD>"}},
      {"silence, then refused", {std::nullopt, std::nullopt, Reply("")}, 3,
       {"<IDS_CHECKFAIL_NOTCONNECTDEV>", "    <IDS_CHECKDO_PORTFORWARD2>"}, false,
       {"Checking...1", "Checking...2", "Checking...3", "Checking...4", "<IDS_CHECKFAIL_NOTCONNECTDEV>",
        "    <IDS_CHECKDO_PORTFORWARD2>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGet svc;
    svc.getRemote = "11.2.3.4:81";
    svc.checkUrl = c.probes;
    CheckRun r = Check(svc);
    EXPECT_EQ(r.box.Lines(), c.lines);
    EXPECT_EQ(r.box.Succeeded(), c.success);
    ASSERT_EQ(svc.urls.size(), 1 + c.requests);
    for (size_t i = 1; i < svc.urls.size(); ++i) {
      EXPECT_EQ(svc.urls[i], "http://www.ddns.test:808/api/checkurl.asp?url=http://1.2.3.4:81/oem.txt");
      EXPECT_EQ(svc.timeouts[i], 20000);
    }
    std::vector<std::string> progress;
    for (const Lines& l : r.seen) progress.push_back(l.empty() ? "" : l.back());
    EXPECT_EQ(progress, c.progress);
    // Each failed attempt is followed by a pause of 500 ms.
    EXPECT_EQ(r.pauses, std::vector<int>(c.success ? c.requests - 1 : c.requests, 500));
    // The progress line is one line: replaced, never added to.
    for (size_t i = 1; i + 1 < r.seen.size(); ++i) EXPECT_LE(r.seen[i].size(), 2u);
  }
}

// The server name stands where the text has its "%s"; a name from the camera is made fit for
// display first.
TEST(PortForwardCheck, ServerNameInTheFailureLine) {
  TCheckTexts t = KeyTexts();
  EXPECT_EQ(NotConnectText(t, "ddns.example.test"), "Checking...\t\tFailure, server ddns.example.test.");
  EXPECT_EQ(NotConnectText(t, "a\r\nb\x1b[2J"), "Checking...\t\tFailure, server a??b?[2J.");
  EXPECT_EQ(NotConnectText(t, std::string(300, 'x')), "Checking...\t\tFailure, server " + std::string(100, 'x') + "....");
  // A second "%s" stays as it is, and a name holding "%s" is not formatted again.
  t["IDS_CHECKFAIL_NOTCONNECT"] = "%s and %s";
  EXPECT_EQ(NotConnectText(t, "%s.test"), "%s.test and %s");
  t["IDS_CHECKFAIL_NOTCONNECT"] = "no placeholder";
  EXPECT_EQ(NotConnectText(t, "x"), "no placeholder");

  FakeGet svc;
  CheckRun r = Check(svc, "bad name/with path");
  ASSERT_EQ(r.reports.size(), 1u);
  EXPECT_EQ(r.reports[0].first, 1);
  EXPECT_EQ(r.reports[0].second, "Checking...\t\tFailure, server bad name/with path.");
}

}  // namespace
}  // namespace kestrova::remote
