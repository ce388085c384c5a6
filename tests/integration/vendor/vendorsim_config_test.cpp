// The vendor emulator's state file and answers, without a socket.
#include "vendor_state.h"

#include <gtest/gtest.h>

namespace kvsim {
namespace {

TEST(VendorSimConfig, ReadsStateAndRejectsMistakes) {
  std::string error;
  auto cfg = ParseServiceConfig(
      "; comment\n[Service]\nFault = slow\nslow_ms = 5\nfetch_allow = 10.0.0.0/8 127.0.0.1\n"
      "[account a1]\npassword = p w\nonline = yes\nremote = 1.2.3.4:81\n[account b2]\nregistered = 0\n",
      &error);
  ASSERT_TRUE(cfg) << error;
  EXPECT_EQ(cfg->fault, Fault::Slow);
  EXPECT_EQ(cfg->slowMs, 5);
  ASSERT_EQ(cfg->fetchAllow.size(), 2u);
  EXPECT_TRUE(Allowed(cfg->fetchAllow, 0x0A010203));
  EXPECT_TRUE(Allowed(cfg->fetchAllow, 0x7F000001));
  EXPECT_FALSE(Allowed(cfg->fetchAllow, 0x7F000002));
  EXPECT_EQ(cfg->accounts.at("a1").password, "p w");
  EXPECT_TRUE(cfg->accounts.at("a1").online);
  EXPECT_FALSE(cfg->accounts.at("b2").registered);

  for (const char* bad : {"[service]\nfault = sometimes\n", "[service]\nslow_ms = -1\n", "[other]\n",
                          "x = 1\n", "[service\n", "[account a]\nfault = down\n", "[service]\nfetch_allow = 1.2.3/8\n"}) {
    EXPECT_FALSE(ParseServiceConfig(bad, &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(VendorSimConfig, Answers) {
  std::string error;
  auto cfg = ParseServiceConfig("[account on]\npassword = p\nonline = 1\nremote = 1.2.3.4:81\n"
                                "[account off]\npassword = p\n[account gone]\nregistered = 0\n",
                                &error);
  ASSERT_TRUE(cfg) << error;
  auto ask = [&](const std::string& path, std::map<std::string, std::string> q) {
    return Respond(*cfg, path, q, [](const std::string&, uint16_t, const std::string&, int) { return true; }).body;
  };
  EXPECT_EQ(ask("/func/getremote.asp", {{"id", "on"}}), "11.2.3.4:81");
  EXPECT_EQ(ask("/func/getremote.asp", {{"id", "off"}}), "0IDS_SERVER_OFFLINE");
  EXPECT_EQ(ask("/func/getremote.asp", {{"id", "gone"}}), "0IDS_SERVER_NOID");
  EXPECT_EQ(ask("/func/getremote.asp", {}), "0IDS_SERVER_NOID");
  EXPECT_EQ(ask("/api/checkauth.asp", {{"id", "off"}, {"pwd", "p"}}), "1");
  EXPECT_EQ(ask("/api/checkauth.asp", {{"id", "off"}, {"pwd", "P"}}), "0ERRIDS_SERVER_NOAUTH");
  EXPECT_EQ(ask("/api/checkauth.asp", {{"id", "gone"}, {"pwd", ""}}), "0ERRIDS_SERVER_NOID");
  EXPECT_EQ(ask("/api/checkurl.asp", {{"url", "http://1.2.3.4:81/oem.txt"}}), "1");
  EXPECT_EQ(ask("/api/checkurl.asp", {{"url", "http://1.2.3.4:81/other"}}), "0");
  EXPECT_EQ(ask("/api/checkurl.asp", {{"url", "ftp://1.2.3.4/oem.txt"}}), "0");
  EXPECT_EQ(Respond(*cfg, "/nothing", {}, nullptr).status, 404);

  auto target = ParseFetchUrl("http://cam.example.test/oem.txt");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->host, "cam.example.test");
  EXPECT_EQ(target->port, 80);
  EXPECT_FALSE(ParseFetchUrl("http://a b/oem.txt"));
  EXPECT_FALSE(ParseFetchUrl("http://h:0/oem.txt"));
}

}  // namespace
}  // namespace kvsim
