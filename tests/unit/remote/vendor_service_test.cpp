#include "core/remote/vendor_service.h"

#include <gtest/gtest.h>

namespace kestrova::remote {
namespace {

TEST(VendorRequests, ExactUrls) {
  EXPECT_EQ(BuildGetRemoteUrl("www.ddns.example.test", "x123"),
            "http://www.ddns.example.test:808/func/getremote.asp?id=x123");
  EXPECT_EQ(BuildCheckAuthUrl("www.ddns.example.test", "x123", "pw9"),
            "http://www.ddns.example.test:808/api/checkauth.asp?id=x123&pwd=pw9");
  EXPECT_EQ(BuildCheckUrlUrl("www.ddns.example.test", "1.2.3.4:81"),
            "http://www.ddns.example.test:808/api/checkurl.asp?url=http://1.2.3.4:81/oem.txt");
}

TEST(VendorRequests, ServerNameWithPortStillAsksPort808) {
  EXPECT_EQ(BuildGetRemoteUrl("aa.bb.cc:9000", "id1"), "http://aa.bb.cc:808/func/getremote.asp?id=id1");
  EXPECT_EQ(ServiceHost("aa.bb.cc/x"), "aa.bb.cc");
  EXPECT_EQ(ServiceHost("plainhost"), "plainhost");
  EXPECT_EQ(ServiceHost("a@b.test"), "");
  EXPECT_EQ(ServiceHost("a b#c"), "");
}

TEST(VendorRequests, QueryValuesCannotSmuggleParameters) {
  EXPECT_EQ(BuildCheckAuthUrl("h.t", "a&pwd=x", "p w#+%"),
            "http://h.t:808/api/checkauth.asp?id=a%26pwd%3Dx&pwd=p%20w%23%2B%25");
  // Ordinary IDs and passwords go out unchanged.
  EXPECT_EQ(EncodeQueryValue("AbC-019_x.y~"), "AbC-019_x.y~");
  EXPECT_EQ(EncodeQueryValue("\xE4\xB8\xAD"), "%E4%B8%AD");
}

TEST(VendorRequests, PublicAddressMustBeHostAndPort) {
  struct Case { const char* text; bool ok; };
  const Case cases[] = {
      {"1.2.3.4", true}, {"1.2.3.4:81", true}, {"cam.example.test:65535", true},
      {"", false}, {":81", false}, {"1.2.3.4:", false}, {"1.2.3.4:0", false},
      {"1.2.3.4:65536", false}, {"1.2.3.4:8x", false}, {"a/b", false}, {"a b", false},
      {"h&url=x", false}, {"1.2.3.4:81/x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPublicAddress(c.text), c.ok) << c.text;
  EXPECT_EQ(BuildCheckUrlUrl("h.t", "evil/x?y"), "");
}

TEST(VendorReplies, Registration) {
  struct Case {
    std::optional<std::string> reply;
    RegStatus status;
    std::string rest;
    std::string address;
  };
  const Case cases[] = {
      {std::nullopt, RegStatus::NoAnswer, "", ""},
      {"1", RegStatus::Online, "", ""},
      {"11.2.3.4:81", RegStatus::Online, "1.2.3.4:81", "1.2.3.4:81"},
      {"1<html>", RegStatus::Online, "<html>", ""},
      {"0IDS_SERVER_NOID", RegStatus::NoId, "IDS_SERVER_NOID", ""},
      {"0IDS_SERVER_OFFLINE", RegStatus::Offline, "IDS_SERVER_OFFLINE", ""},
      // compared exactly: a trailing blank, a line end or another case do not match
      {"0IDS_SERVER_OFFLINE ", RegStatus::Unknown, "IDS_SERVER_OFFLINE ", ""},
      {"0IDS_SERVER_NOID\r\n", RegStatus::Unknown, "IDS_SERVER_NOID\r\n", ""},
      {"0ids_server_noid", RegStatus::Unknown, "ids_server_noid", ""},
      {"0", RegStatus::Unknown, "", ""},
      {"", RegStatus::Unknown, "", ""},
      {" 1", RegStatus::Unknown, " 1", ""},
      {"IDS_SERVER_NOID", RegStatus::Unknown, "IDS_SERVER_NOID", ""},
      {std::string("\x00\xff\x01", 3), RegStatus::Unknown, std::string("\x00\xff\x01", 3), ""},
  };
  for (const auto& c : cases) {
    RegReply r = ClassifyGetRemote(c.reply);
    EXPECT_EQ(r.status, c.status) << c.reply.value_or("<none>");
    EXPECT_EQ(r.rest, c.rest) << c.reply.value_or("<none>");
    EXPECT_EQ(r.publicAddress, c.address) << c.reply.value_or("<none>");
  }
}

TEST(VendorReplies, Account) {
  struct Case {
    std::optional<std::string> reply;
    AuthStatus status;
    std::string rest;
  };
  const Case cases[] = {
      {std::nullopt, AuthStatus::NoAnswer, ""},
      {"1", AuthStatus::Accepted, ""},
      {"1anything", AuthStatus::Accepted, ""},
      {"0ERRIDS_SERVER_NOID", AuthStatus::NoId, "ERRIDS_SERVER_NOID"},
      {"0ERRIDS_SERVER_NOAUTH", AuthStatus::NoAuth, "ERRIDS_SERVER_NOAUTH"},
      // the verdict byte is not looked at when it is not '1'
      {"xERRIDS_SERVER_NOAUTH", AuthStatus::NoAuth, "ERRIDS_SERVER_NOAUTH"},
      {"0ERRIDS_SERVER_NOAUTH ", AuthStatus::Unknown, "ERRIDS_SERVER_NOAUTH "},
      {"0IDS_SERVER_NOID", AuthStatus::Unknown, "IDS_SERVER_NOID"},
      {"0", AuthStatus::Unknown, ""},
      {"", AuthStatus::Unknown, ""},
  };
  for (const auto& c : cases) {
    AuthReply r = ClassifyCheckAuth(c.reply);
    EXPECT_EQ(r.status, c.status) << c.reply.value_or("<none>");
    EXPECT_EQ(r.rest, c.rest) << c.reply.value_or("<none>");
  }
}

TEST(VendorReplies, Reachability) {
  EXPECT_EQ(ClassifyCheckUrl(std::nullopt), ReachStatus::NoAnswer);
  EXPECT_EQ(ClassifyCheckUrl(std::string("1")), ReachStatus::Reachable);
  EXPECT_EQ(ClassifyCheckUrl(std::string("1ok")), ReachStatus::Reachable);
  EXPECT_EQ(ClassifyCheckUrl(std::string("0")), ReachStatus::Unreachable);
  EXPECT_EQ(ClassifyCheckUrl(std::string("")), ReachStatus::Unreachable);
  EXPECT_EQ(ClassifyCheckUrl(std::string("<html>1</html>")), ReachStatus::Unreachable);
}

TEST(VendorReplies, DisplayTextIsCutAndControlFree) {
  EXPECT_EQ(ReplyForDisplay("ab\r\nc\x7f"), "ab??c?");
  EXPECT_EQ(ReplyForDisplay(std::string(500, 'x'), 10), "xxxxxxxxxx...");
  EXPECT_EQ(ReplyForDisplay("short", 10), "short");
}

}  // namespace
}  // namespace kestrova::remote
