#include "core/protocols/cgi_reply.h"

#include <gtest/gtest.h>

#include <cctype>

#include "core/protocols/cgi_requests.h"
#include "unit/discovery/address_texts.h"

namespace kestrova {
namespace {

TEST(CgiReaders, ExtractValue) {
  struct Case {
    std::string text, name, value;
  } cases[] = {
      {"var wifi_ssid=\"Home\";\r\n", "var wifi_ssid", "Home"},
      {"var a='x y';", "var a", "x y"},
      {"var a=\"it's\";", "var a", "its"},                          // both quote kinds removed
      {"var ap_number=3;", "var ap_number", "3"},
      {"var x=;", "var x", ""},
      {"var x=1", "var x", ""},                                      // no ';'
      {"var x", "var x", ""},                                        // name at the very end
      {"var y=1;", "var x", ""},                                     // name missing
      {"var x;", "var x", ""},                                       // ';' right after the name
      {"factory_index=10;factory_server=s;", "factory_server", "s"},
      // a name that begins another name finds whichever comes first
      {"var wifi_key1_bits=1;\nvar wifi_key1=\"abc\";", "var wifi_key1", "bits=1"},
      {"var a=1;var a=2;", "var a", "1"},
      {"Var a=1;", "var a", ""},                                     // case-sensitive
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractValue(c.text, c.name), c.value) << c.text;
}

TEST(CgiReaders, ExtractVarValueKeepsOldValueWhenMissing) {
  std::string v = "old";
  EXPECT_TRUE(ExtractVarValue("var a=\"b'c\";", "a", v));
  EXPECT_EQ(v, "\"bc\"");  // only single quotes are removed
  v = "old";
  EXPECT_FALSE(ExtractVarValue("var b=1;", "a", v));
  EXPECT_EQ(v, "old");
  EXPECT_FALSE(ExtractVarValue("var a=1", "a", v));
  EXPECT_EQ(v, "old");
  EXPECT_FALSE(ExtractVarValue("vara=1;", "a", v));
  EXPECT_EQ(v, "old");
}

TEST(CgiReaders, ExtractLineValue) {
  const std::string text = "ip=\"192.168.1.2\r\nmask= 255.255.255.0 \r\nport=81";
  struct Case {
    std::string name, value;
  } cases[] = {
      {"ip", "192.168.1.2"}, {"mask", "255.255.255.0"}, {"port", "81"}, {"dns1", ""}};
  for (const auto& c : cases) EXPECT_EQ(ExtractLineValue(text, c.name), c.value) << c.name;
  EXPECT_EQ(ExtractLineValue("name only", "name"), "");
  EXPECT_EQ(ExtractLineValue("a=\"\"x\"\r", "a"), "\"x\"");  // only one leading quote dropped
  // statements of the var form lose their closing ';' and quote
  const std::string vars = "var ip=\"192.168.0.104\";\r\nvar port=81;\r\nvar alias=\"a;b\" ;\r\n";
  EXPECT_EQ(ExtractLineValue(vars, "ip"), "192.168.0.104");
  EXPECT_EQ(ExtractLineValue(vars, "port"), "81");
  EXPECT_EQ(ExtractLineValue(vars, "alias"), "a;b");
}

TEST(CgiReaders, SysVersion) {
  struct Case {
    std::string text, version;
  } cases[] = {
      {"var id=\"X1\";\r\nvar sys_ver=\"84.2.0.121\";\r\n", "84.2.0.121"},
      {"var id=\"X1\";\r\nvar other=\"2\";", "X1"},  // no sys_ver=: the first two quotes
      {"var sys_ver=9.1;var a=\"q\";", "q"},
      {"var sys_ver=\"unterminated", ""},
      {"no quotes", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadSysVersion(c.text), c.version) << c.text;
}

TEST(CgiReaders, UpgradeBaseByVersionText) {
  const std::string base = "http://10.0.0.9:81";
  struct Case {
    std::string version;
    bool own;
  } cases[] = {
      {"84.2.0.120", true}, {"84.2.0.121", false}, {"85.0.0.1", false},
      {"9.1.0.5", false},   {"9.0.0.1", false},    {"100.0.0.1", true}, {"", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UpgradeUploadBase(c.version, base, "10.0.0.9"), c.own ? base : "http://10.0.0.9:8600") << c.version;
  // Nothing is uploaded to a base or an address that names no camera.
  EXPECT_EQ(UpgradeUploadBase("84.2.0.120", "http://x@evil.test/", "10.0.0.9"), "");
  EXPECT_EQ(UpgradeUploadBase("84.2.0.121", "http://x@evil.test/", "10.0.0.9"), "");
  EXPECT_EQ(UpgradeUploadBase("84.2.0.121", base, "x@evil.test/"), "");
}

TEST(CgiReaders, FactoryStatus) {
  auto reply = [](std::string idx, std::string server, std::string port, std::string user) {
    return "var factory_index=" + idx + ";\r\nvar factory_server=\"" + server + "\";\r\nvar factory_port=" + port +
           ";\r\nvar factory_user=\"" + user + "\";\r\nvar factory_passwd=\"pw\";\r\n";
  };
  struct Case {
    std::string reply;
    int32_t status;
  } cases[] = {
      {reply("10", "ddns.example", "8080", "x123"), 0},
      {"no marker", 5},
      {"var something=1;", 1},
      {reply("11", "", "", ""), 2},
      {reply("10", "", "8080", "x"), 3},
      {reply("10", "s", "0", "x"), 3},
      {reply("10", "s", "", "x"), 3},
      {reply("10", "s", "8080", ""), 4},
  };
  for (const auto& c : cases) {
    TFactoryParams f;
    ParseFactoryParams(c.reply, f);
    EXPECT_EQ(f.Status, c.status) << c.reply;
  }
  TFactoryParams f;
  ParseFactoryParams(reply("10", "ddns.example", "8080", "x123"), f);
  EXPECT_EQ(f, (TFactoryParams{"10", "ddns.example", "8080", "x123", "pw", 0}));
  // fields not read in a later call keep their values
  ParseFactoryParams("var nothing=1;", f);
  EXPECT_EQ(f.Status, 1);
  EXPECT_EQ(f.Server, "ddns.example");
}

TEST(CgiReaders, WiFiParams) {
  auto p = ParseWiFiParams(
      "var wifi_enable=1;\r\nvar wifi_ssid=\"Home Net\";\r\nvar wifi_mode=0;\r\nvar wifi_encrypt=4;\r\n"
      "var wifi_authtype=1;\r\nvar wifi_defkey=2;\r\nvar wifi_keyformat=1;\r\n"
      "var wifi_key1=\"k1\";\r\nvar wifi_key2=\"k2\";\r\nvar wifi_key3=\"\";\r\nvar wifi_key4=\"k4\";\r\n"
      "var wifi_key1_bits=1;\r\nvar wifi_key2_bits=0;\r\nvar wifi_key3_bits=1;\r\nvar wifi_key4_bits=x;\r\n"
      "var wifi_wpa_psk=\"secret pass\";\r\n");
  TWiFiParams want;
  want.Enable = 1;
  want.SSID = "Home Net";
  want.Encrypt = 4;
  want.AuthType = 1;
  want.DefKey = 2;
  want.KeyFormat = 1;
  want.Key1 = "k1";
  want.Key2 = "k2";
  want.Key4 = "k4";
  want.Key1Bits = 1;
  want.Key3Bits = 1;
  want.WpaPsk = "secret pass";
  EXPECT_EQ(p, want);
}

TEST(CgiReaders, ScanResult) {
  auto r = ParseScanResult(
      "var ap_number=3;\r\n"
      "var ap_ssid[0]=\" Office \";\r\nvar ap_mac[0]=\"00:11:22:33:44:55\";\r\nvar ap_security[0]=4;\r\n"
      "var ap_dbm0[0]=' 70 ';\r\nvar ap_dbm1[0]='60';\r\nvar ap_mode[0]=0;\r\n"
      "var ap_ssid[2]=\"Lab\";\r\nvar ap_mode[2]=1;\r\n"
      "var ap_ssid[3]=\"Beyond\";\r\n"       // index not below the count: ignored
      "var ap_ssid[x]=\"Bad\";\r\n"          // no number: ignored
      "var ap_ssid[-1]=\"Neg\";\r\n");
  ASSERT_EQ(r.Count, 3);
  ASSERT_EQ(r.Records.size(), 3u);
  EXPECT_EQ(r.Records[0], (TWiFiRecord{"Office", 0, 4, "70", "60", "00:11:22:33:44:55"}));
  EXPECT_EQ(r.Records[1], TWiFiRecord{});  // never appears: listed with empty texts
  EXPECT_EQ(r.Records[2].SSID, "Lab");
  EXPECT_EQ(r.Records[2].Mode, 1);
  EXPECT_EQ(ScanRecordText(r.Records[0]), "Office(70)");
  EXPECT_EQ(ScanRecordText(r.Records[1]), "()");

  EXPECT_EQ(ParseScanResult("var ap_number=x;").Count, 0);
  EXPECT_EQ(ParseScanResult("garbage").Count, 0);
  EXPECT_EQ(ParseScanResult("var ap_number=-4;").Records.size(), 0u);
  EXPECT_EQ(ParseScanResult("var ap_number=2000000000;").Records.size(), size_t(kMaxScanRecords));
}

TEST(CgiReaders, CgiScanListPerFamily) {
  const std::string f2 =
      "var ap_number=3;\r\nvar ap_ssid[0]=\"Home\";\r\nvar ap_security[0]=4;\r\nvar ap_mode[0]=0;\r\n"
      "var ap_ssid[1]=\"\";\r\nvar ap_ssid[2]=\"Cafe[5G]\";\r\nvar ap_mode[2]=1;\r\n";
  auto l2 = ParseCgiScanList(f2, 2);
  ASSERT_EQ(l2.size(), 2u);
  EXPECT_EQ(l2[0], (TWiFi{"Home", 4, 0}));
  EXPECT_EQ(l2[1], (TWiFi{"Cafe", 0, 1}));
  // family 8 names carry a blank after "]"
  const std::string f8 = "var ap_number=1;\r\nvar ap_ssid[0] =\"Home\";\r\nvar ap_security[0]=2;\r\n";
  auto l8 = ParseCgiScanList(f8, 8);
  ASSERT_EQ(l8.size(), 1u);
  EXPECT_EQ(l8[0], (TWiFi{"Home", 2, 0}));
  // read without the blank, the family-8 line yields the "=" as part of the name's value
  auto wrong = ParseCgiScanList(f8, 2);
  ASSERT_EQ(wrong.size(), 1u);
  EXPECT_EQ(wrong[0].SSID, "=Home");
}

TEST(CgiReaders, DeviceParamsAndStatus) {
  TDevInfo d;
  ParseDeviceParams(
      "ip=192.168.1.9\r\nmask=255.255.255.0\r\ngeteway=192.168.1.1\r\ndns1=8.8.8.8\r\ndns2=1.1.1.1\r\n"
      "port=x\r\ndhcpen=1\r\nddns_user=x1\r\nddns_pwd=p1\r\nddns_proxy_svr=d.example:80\r\n",
      d, "admin", "pw");
  EXPECT_EQ(d.IP, "192.168.1.9");
  EXPECT_EQ(d.NetMask, "255.255.255.0");
  EXPECT_EQ(d.Gateway, "192.168.1.1");
  EXPECT_EQ(d.HttpPort, 81);
  EXPECT_EQ(d.IPMode, 1);
  EXPECT_EQ(d.User, "admin");
  EXPECT_EQ(d.DDnsServer, "d.example:80");
  EXPECT_EQ(d.DevType, 9);
  // Address values are kept only when they are dotted-quad addresses.
  for (const auto& t : test::kAddressTexts) {
    const std::string text = t.text;
    if (!text.empty() && (std::isspace(static_cast<unsigned char>(text.front())) ||
                          std::isspace(static_cast<unsigned char>(text.back()))))
      continue;  // this reader trims its values
    TDevInfo p;
    ParseDeviceParams("ip=" + std::string(t.text) + "\r\nmask=255.0.0.0\r\ngeteway=" + t.text + "\r\ndns1=" +
                          t.text + "\r\ndns2=8.8.4.4\r\n",
                      p, "admin", "pw");
    const std::string kept = t.ipv4 ? t.text : "";
    EXPECT_EQ(p.IP, kept) << t.text;
    EXPECT_EQ(p.Gateway, kept) << t.text;
    EXPECT_EQ(p.DNS1, kept) << t.text;
    EXPECT_EQ(p.DNS2, "8.8.4.4") << t.text;
  }
  ParseDeviceStatus("deviceid=ID9\r\nalias=Door\r\nsys_ver=9.1.0.5\r\nmac=00:1A:2B:3C:4D:5E\r\n", d);
  EXPECT_EQ(d.MAC, "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(d.Name, "Door");
  EXPECT_EQ(d.Version, "9.1.0.5");
  EXPECT_EQ(d.SN, "ID9");
}

}  // namespace
}  // namespace kestrova
