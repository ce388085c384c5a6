// The camera CGI requests: base addresses and the path + query of every request the program
// sends. Every value is placed with UrlValue, so ordinary values go out byte for byte and a
// value holding '&', '#', blanks and the like cannot break or extend the query. Trimming is the
// caller's choice and is not done here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/protocols/cgi_reply.h"

namespace kestrova {

// "http://" + address, then ":" + port unless the port is 80 (CameraBaseUrl): empty when the
// address is not one a request may go to, and then no request is sent.
std::string CgiBase(std::string_view ip, uint16_t port);
// The scan base of the CGI family: "Http://" + address + ":" + port, the port always written;
// empty as CgiBase.
std::string CgiScanBase(std::string_view ip, uint16_t port);

// Credential styles of the query: U "user=..&pwd=..", L "loginuse=..&loginpas=..".
std::string CredU(std::string_view user, std::string_view password);
std::string CredL(std::string_view user, std::string_view password);

// "/get_params.cgi?user=..&pwd=.."
std::string PathGetParams(std::string_view user, std::string_view password);
// "/wifi_scan.cgi?user=..&pwd=.."
std::string PathWifiScan(std::string_view user, std::string_view password);
// The wireless step's scan: family 8 "/cgi-bin/wifi_scan.cgi?loginuse=..&loginpas=..&next_url=wireless.htm",
// any other family "/wifi_scan.cgi?user=..&pwd=..&next_url=wireless.htm".
std::string PathWifiScanStep(int32_t devType, std::string_view user, std::string_view password);
// "/get_wifi_scan_result.cgi?user=..&pwd=.."
std::string PathWifiScanResult(std::string_view user, std::string_view password);
// The wireless keys every set request appends: "&channel=5&enable=..&ssid=.. ... &wpa_psk=..";
// wpa_psk is trimmed, every other string sent as held.
std::string WirelessKeys(const TWiFiParams& p);
// Family 8 "/cgi-bin/set_wifi.cgi?next_url=rebootme.htm&loginuse=..&loginpas=..", any other
// "/set_wifi.cgi?next_url=rebootme.htm&user=..&pwd=..", then the wireless keys.
std::string PathSetWifi(int32_t devType, std::string_view user, std::string_view password, const TWiFiParams& p);
// Family 8 "/cgi-bin/reboot.cgi?next_url=reboot.htm", any other "/reboot.cgi?next_url=reboot.htm".
std::string PathRebootNext(int32_t devType);
// "/get_factory_param.cgi?user=..&pwd=.."
std::string PathGetFactoryParam(std::string_view user, std::string_view password);
// "/set_ddns.cgi?service=11&user=" User "&pwd=" Passwd "&host=&proxy_svr=" Server
// "&proxy_port=" Port "&restart_dyndns=&loginuse=" user "&loginpas=" password (all trimmed).
std::string PathSetDdns(const TFactoryParams& f, std::string_view user, std::string_view password);
// "/get_Status.cgi?user=..&pwd=.."
std::string PathGetStatusU(std::string_view user, std::string_view password);
// "/upgrade_firmware.cgi?loginuse=..&loginpas=.." and "/upgrade_htmls.cgi?loginuse=..&loginpas=.."
std::string PathUpgradeFirmware(std::string_view user, std::string_view password);
std::string PathUpgradeHtmls(std::string_view user, std::string_view password);
// The upload base of a firmware or web-page upgrade: the given base for a version below
// "84.2.0.121" compared as text, else "http://" + camera address + ":8600". Empty when the
// base is not a camera base address (ParseCameraBaseUrl) or the address is not one a request
// may go to.
std::string UpgradeUploadBase(std::string_view version, std::string_view base, std::string_view ip);
// The MAC form of the factory request: lower case, pairs from the start joined by ':' (an odd
// last character dropped), trimmed.
std::string FactoryMac(std::string_view mac);
// "/set_factory_param.cgi?user=..&pwd=..&mac=" M(mac) "&wifimac=" M(wifiMac) "&heartbeat=180"
std::string PathSetFactoryParam(std::string_view user, std::string_view password, std::string_view mac,
                                std::string_view wifiMac);
// "/reboot.cgi?loginuse=..&loginpas=.."
std::string PathRebootL(std::string_view user, std::string_view password);
// "/set_default.cgi?&loginuse=..&loginpas=.."
std::string PathSetDefault(std::string_view user, std::string_view password);
// "/get_params.cgi?loginuse=..&loginpas=.." and "/get_status.cgi?loginuse=..&loginpas=.."
std::string PathGetParamsL(std::string_view user, std::string_view password);
std::string PathGetStatusL(std::string_view user, std::string_view password);
// "/get_status.cgi" without credentials (reachability check of family 8).
std::string PathGetStatusPlain();

}  // namespace kestrova
