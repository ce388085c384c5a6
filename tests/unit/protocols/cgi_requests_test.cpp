#include "core/protocols/cgi_requests.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(CgiRequests, Bases) {
  EXPECT_EQ(CgiBase("192.168.1.20", 80), "http://192.168.1.20");
  EXPECT_EQ(CgiBase("192.168.1.20", 81), "http://192.168.1.20:81");
  EXPECT_EQ(CgiScanBase("192.168.1.20", 80), "Http://192.168.1.20:80");
  // No base, and so no request, for an address that is not a dotted-quad address.
  EXPECT_EQ(CgiBase("x@evil.test/", 81), "");
  EXPECT_EQ(CgiScanBase("1.2.3.4:80/x", 81), "");
}

TEST(CgiRequests, Catalogue) {
  TWiFiParams w;
  w.Enable = 1;
  w.SSID = "Home";
  w.Mode = 0;
  w.Encrypt = 4;
  w.AuthType = 0;
  w.KeyFormat = 1;
  w.DefKey = 0;
  w.Key1 = "k1";
  w.Key1Bits = 1;
  w.WpaPsk = " secret ";
  const std::string keys =
      "&channel=5&enable=1&ssid=Home&mode=0&encrypt=4&authtype=0&keyformat=1&defkey=0"
      "&key1=k1&key2=&key3=&key4=&key1_bits=1&key2_bits=0&key3_bits=0&key4_bits=0&wpa_psk=secret";
  TFactoryParams f{"10", " ddns.example ", "8080", "x123", "pw", 0};
  struct Case {
    std::string built, expected;
  } cases[] = {
      {PathGetParams("admin", "12345"), "/get_params.cgi?user=admin&pwd=12345"},
      {PathWifiScan("admin", ""), "/wifi_scan.cgi?user=admin&pwd="},
      {PathWifiScanStep(2, "admin", "pw"), "/wifi_scan.cgi?user=admin&pwd=pw&next_url=wireless.htm"},
      {PathWifiScanStep(8, "admin", "pw"), "/cgi-bin/wifi_scan.cgi?loginuse=admin&loginpas=pw&next_url=wireless.htm"},
      {PathWifiScanResult("admin", "pw"), "/get_wifi_scan_result.cgi?user=admin&pwd=pw"},
      {PathSetWifi(9, "admin", "pw", w), "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=pw" + keys},
      {PathSetWifi(2, "admin", "pw", w), "/set_wifi.cgi?next_url=rebootme.htm&user=admin&pwd=pw" + keys},
      {PathSetWifi(8, "admin", "pw", w),
       "/cgi-bin/set_wifi.cgi?next_url=rebootme.htm&loginuse=admin&loginpas=pw" + keys},
      {PathRebootNext(2), "/reboot.cgi?next_url=reboot.htm"},
      {PathRebootNext(9), "/reboot.cgi?next_url=reboot.htm"},
      {PathRebootNext(8), "/cgi-bin/reboot.cgi?next_url=reboot.htm"},
      {PathGetFactoryParam("admin", "pw"), "/get_factory_param.cgi?user=admin&pwd=pw"},
      {PathSetDdns(f, " admin", "pw "),
       "/set_ddns.cgi?service=11&user=x123&pwd=pw&host=&proxy_svr=ddns.example&proxy_port=8080"
       "&restart_dyndns=&loginuse=admin&loginpas=pw"},
      {PathGetStatusU("admin", "pw"), "/get_Status.cgi?user=admin&pwd=pw"},
      {PathUpgradeFirmware("admin", "pw"), "/upgrade_firmware.cgi?loginuse=admin&loginpas=pw"},
      {PathUpgradeHtmls("admin", "pw"), "/upgrade_htmls.cgi?loginuse=admin&loginpas=pw"},
      {PathSetFactoryParam("admin", "pw", "001A2B3C4D5E", "001A2B3C4D5F1"),
       "/set_factory_param.cgi?user=admin&pwd=pw&mac=00:1a:2b:3c:4d:5e&wifimac=00:1a:2b:3c:4d:5f&heartbeat=180"},
      {PathRebootL("admin", "pw"), "/reboot.cgi?loginuse=admin&loginpas=pw"},
      {PathSetDefault("admin", "pw"), "/set_default.cgi?&loginuse=admin&loginpas=pw"},
      {PathGetParamsL("admin", "pw"), "/get_params.cgi?loginuse=admin&loginpas=pw"},
      {PathGetStatusL("admin", "pw"), "/get_status.cgi?loginuse=admin&loginpas=pw"},
      {PathGetStatusPlain(), "/get_status.cgi"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(CgiRequests, ValuesCannotExtendTheQuery) {
  EXPECT_EQ(PathGetParams("ad min", "a&pwd=x#y"), "/get_params.cgi?user=ad%20min&pwd=a%26pwd%3Dx%23y");
  TWiFiParams w;
  w.SSID = "Caf\xC3\xA9 & Bar";
  w.WpaPsk = "100%+?";
  std::string s = WirelessKeys(w);
  EXPECT_NE(s.find("&ssid=Caf%C3%A9%20%26%20Bar&"), std::string::npos);
  EXPECT_NE(s.find("&wpa_psk=100%25%2B%3F"), std::string::npos);
}

}  // namespace
}  // namespace kestrova
