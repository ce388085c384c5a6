#include "core/protocols/ctp_message.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(CtpRequest, TcpFormsByteForByte) {
  TDEVWiFi w;
  w.Enable = 1;
  w.SSID = " My Net ";
  w.AuthMode = "WPA2PSK";
  w.EncrypType = "AES";
  w.Key = "secret12";
  struct Case {
    std::string built, expected;
  } cases[] = {
      {BuildCtpKeepalive(), "CMD keepalive CTP/1.0\r\nContent-Length:2\r\n\r\n\r\n"},
      // five-letter user, empty password: "-login admin:" CRLF CRLF = 17 bytes
      {BuildCtpLogin("admin", ""), "CMD cfgusr CTP/1.0\r\nContent-Length:17\r\n\r\n-login admin:\r\n\r\n"},
      {BuildCtpLogin(" admin ", " 1234\t"), "CMD cfgusr CTP/1.0\r\nContent-Length:21\r\n\r\n-login admin:1234\r\n\r\n"},
      {BuildCtpGetOrayState(), "CMD getoraystate CTP/1.0\r\nContent-Length:9\r\n\r\n-list\r\n\r\n"},
      {BuildCtpGetWireless(), "CMD cfgwnic CTP/1.0\r\nContent-Length:9\r\n\r\n-list\r\n\r\n"},
      {BuildCtpSetWireless(w),
       "CMD cfgwnic CTP/1.0\r\nContent-Length:78\r\n\r\n"
       "-enable 1\r\n-ssid My Net\r\n-authmode WPA2PSK\r\n-encryptype AES\r\n-key secret12\r\n\r\n"},
      {BuildCtpListNetworks(), "CMD iwlist CTP/1.0\r\nContent-Length:2\r\n\r\n\r\n"},
      {BuildCtpRestart(), "CMD restart CTP/1.0\r\nContent-Length:2\r\n\r\n\r\n"},
      {BuildCtpExit(), "CMD exit CTP/1.0\r\n"},
      {BuildCtpSearch(), "SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(CtpRequest, ValueCannotAddArgumentLines) {
  TDEVWiFi w;
  w.SSID = "evil\r\n-key x";
  std::string req = BuildCtpSetWireless(w);
  EXPECT_NE(req.find("-ssid evil-key x\r\n"), std::string::npos);
  EXPECT_EQ(req.find("\r\n-key x\r\n"), std::string::npos);
}

TEST(CtpSetIP, UdpTextWithItsOwnHeader) {
  TDevInfo oldDev;
  oldDev.IP = "192.168.1.50";
  TDevInfo n;
  n.SN = "SN123";
  n.IP = "192.168.1.60";
  n.NetMask = "255.255.255.0";
  n.Gateway = "192.168.1.1";
  n.Name = "Hall";
  n.DNS1 = "8.8.8.8";
  n.DNS2 = "208.67.222.222";
  n.MAC = "001122AABBCC";
  n.HttpPort = 81;
  n.IPMode = 2;
  const std::string body =
      "\r\n"
      "-sn SN123\r\n"
      "-interface 192.168.1.50\r\n"
      "-pswd vemra\r\n"
      "-dhcpen 0\r\n"
      "-ip 192.168.1.60\r\n"
      "-netmask 255.255.255.0\r\n"
      "-defgw 192.168.1.1\r\n"
      "-name Hall\r\n"
      "-mdns 8.8.8.8\r\n"
      "-sdns 208.67.222.222\r\n"
      "-mac 00:11:22:AA:BB:CC\r\n"
      "-port 81\r\n"
      "\r\n";
  // Counted by hand: the leading and the two trailing line breaks are part of the 209 bytes.
  EXPECT_EQ(BuildCtpSetIP(oldDev, n, "vemra"), "CMD setip CTP/1.0\r\nContent-Length: 209\r\n" + body);

  n.IPMode = 1;  // DHCP still sends the address, mask and gateway
  std::string dhcp = BuildCtpSetIP(oldDev, n, "vemra");
  EXPECT_NE(dhcp.find("\r\n-dhcpen 1\r\n-ip 192.168.1.60\r\n-netmask 255.255.255.0\r\n-defgw 192.168.1.1\r\n"),
            std::string::npos);
  n.IPMode = 0;
  EXPECT_NE(BuildCtpSetIP(oldDev, n, "vemra").find("-dhcpen 0\r\n"), std::string::npos);
}

TEST(CtpSetIP, MacWithColons) {
  EXPECT_EQ(MacWithColons("001122AABBCC"), "00:11:22:AA:BB:CC");
  EXPECT_EQ(MacWithColons("1001122AABBCC"), "00:11:22:AA:BB:CC");  // leading odd one dropped
  EXPECT_EQ(MacWithColons("AB"), "AB");
  EXPECT_EQ(MacWithColons("A"), "");
  EXPECT_EQ(MacWithColons(""), "");
}

TEST(CtpReply, SuccessTests) {
  EXPECT_TRUE(CtpKeepaliveOk("CTP/1.0 200\r\n\r\n"));
  EXPECT_FALSE(CtpReplyOk("CTP/1.0 200\r\n\r\n"));
  EXPECT_TRUE(CtpReplyOk("CTP/1.0 200 OK\r\n\r\n"));
  EXPECT_FALSE(CtpKeepaliveOk(""));
  EXPECT_FALSE(CtpReplyOk("CTP/1.0 401 Unauthorized\r\n\r\n"));
}

TEST(CtpReply, OrayState) {
  const std::string ok = "CTP/1.0 200 OK\r\nContent-Length:12\r\n\r\n";
  struct Case {
    std::string reply;
    int32_t state;
  } cases[] = {
      {ok + "-status 2\r\n\r\n", 2},
      {ok + "-status 1\r\n-status 3\r\n", 3},       // the last line wins
      {ok + "-status x\r\n", 5},                    // not a number
      {ok + "-status 2\r\n-status\r\n", 5},         // a later unreadable line replaces the state
      {ok + "-other 2\r\n", 5},                     // no status line
      {"CTP/1.0 500 Error\r\n\r\n-status 2\r\n", 5},  // failed reply
      {"", 5},
      {"CTP/1.0 200 OK\r\n-status 2\r\n", 5},      // no body separator, no body
      {ok + "-status 4", 4},                        // last line without line end
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCtpOrayState(c.reply), c.state) << c.reply;
}

TEST(CtpReply, WirelessConfig) {
  auto w = ParseCtpWirelessConfig(
      "CTP/1.0 200 OK\r\nContent-Length:99\r\n\r\n"
      "-enable 1\r\n"
      "-ssid  My Home Net \r\n"
      "-authmode WPA2PSK\r"
      "-encryptype AES\n"
      "-key pass phrase\r\n"
      "-dhcpen 1\r\n"
      "-unknown 7\r\n"
      "-enable x\r\n");  // a later line overwrites, not a number reads 0
  ASSERT_TRUE(w);
  EXPECT_EQ(w->Enable, 0);
  EXPECT_EQ(w->SSID, "My Home Net");
  EXPECT_EQ(w->AuthMode, "WPA2PSK");
  EXPECT_EQ(w->EncrypType, "AES");
  EXPECT_EQ(w->Key, "pass phrase");
  EXPECT_EQ(w->DhcpEn, 1);
  EXPECT_FALSE(ParseCtpWirelessConfig("CTP/1.0 401\r\n\r\n-ssid a\r\n"));
  auto empty = ParseCtpWirelessConfig("CTP/1.0 200 OK\r\n\r\n-ssid\r\n");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->SSID, "");
}

TEST(CtpReply, NetworkList) {
  auto nets = ParseCtpNetworkList(
      "CTP/1.0 200 OK\r\n\r\n"
      "Office, 00:11:22:33:44:55, 1, 0, 2, 2, 78\r\n"
      ",00:11:22:33:44:56,1,0,2,2,50\r\n"   // empty SSID: skipped
      "no comma line\r\n"                   // skipped
      "Cafe,aa,0,1,x\r\n"                   // short line: missing fields 0, no signal
      "Lab,bb,1,0,0,1, 33 , extra\r\n");    // everything after the sixth comma
  ASSERT_EQ(nets.size(), 3u);
  EXPECT_EQ(nets[0].Text, "Office(78%)");
  EXPECT_EQ(nets[0].WiFi, (TWiFi2{"Office", 1, 0, 2, 2, "78"}));
  EXPECT_EQ(nets[1].WiFi, (TWiFi2{"Cafe", 0, 1, 0, 0, ""}));
  EXPECT_EQ(nets[1].Text, "Cafe(%)");
  EXPECT_EQ(nets[2].WiFi.Signal, "33 , extra");
  EXPECT_TRUE(ParseCtpNetworkList("CTP/1.0 404\r\n\r\nA,b,1,1,1,1,1\r\n").empty());
}

TEST(CtpFrame, EveryPrefixAndTheWhole) {
  const std::string reply = "CTP/1.0 200 OK\r\nContent-Length:5\r\n\r\nab\r\nc";
  for (size_t n = 0; n < reply.size(); ++n)
    EXPECT_EQ(CtpReplyFrame(std::string_view(reply).substr(0, n)).State, CtpFrame::Incomplete) << n;
  auto whole = CtpReplyFrame(reply);
  EXPECT_EQ(whole.State, CtpFrame::Complete);
  EXPECT_EQ(whole.Size, reply.size());
  auto more = CtpReplyFrame(reply + "NEXT");
  EXPECT_EQ(more.State, CtpFrame::Complete);
  EXPECT_EQ(more.Size, reply.size());
}

TEST(CtpFrame, HeaderForms) {
  struct Case {
    std::string text;
    CtpFrame state;
  } cases[] = {
      {"CTP/1.0 200 OK\r\ncontent-length: 2\r\n\r\n\r\n", CtpFrame::Complete},
      {"CTP/1.0 200 OK\r\nCONTENT-LENGTH:0\r\n\r\n", CtpFrame::Complete},
      {"CTP/1.0 200 OK\r\n\r\n-status 1\r\n", CtpFrame::Unframed},
      {"CTP/1.0 200 OK\r\nContent-Length:abc\r\n\r\n", CtpFrame::Unframed},
      {"CTP/1.0 200 OK\r\nContent-Length:99999999999\r\n\r\n", CtpFrame::Unframed},
      {"CTP/1.0 200 OK\r\nContent-Length:-1\r\n\r\n", CtpFrame::Unframed},
      {"CTP/1.0 200 OK\r\nContent-Length:10\r\n\r\nshort", CtpFrame::Incomplete},
  };
  for (const auto& c : cases) EXPECT_EQ(CtpReplyFrame(c.text).State, c.state) << c.text;
}

}  // namespace
}  // namespace kestrova
