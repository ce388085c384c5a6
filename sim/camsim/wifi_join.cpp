#include "wifi_join.h"

namespace kestrova::camsim {

int CgiSecurity(const WifiNetwork& w) {
  if (w.web_security >= 0) return w.web_security;
  if (w.security != 1) return 0;
  if (w.authtype == 0) return 1;
  if (w.authtype == 1) return w.cipher == 1 ? 3 : 2;
  return w.cipher == 1 ? 5 : 4;
}

namespace {

// The CTP form of a network's kind.
std::string CtpAuthMode(const WifiNetwork& w) {
  if (w.security != 1) return "NONE";
  if (w.authtype == 0) return "WEP";
  return w.authtype == 1 ? "WPAPSK" : "WPA2PSK";
}

JoinOutcome KeyCheck(const CameraConfig& cam, bool encrypted, const std::string& key) {
  if (!encrypted) return {true, "open network"};
  const std::string want = cam.Setting("wifi_join_key");
  if (key.empty()) return {false, "no key for an encrypted network"};
  if (!want.empty() && key != want) return {false, "wrong key"};
  return {true, "key accepted"};
}

}  // namespace

JoinOutcome DecideJoin(const CameraConfig& cam) {
  if (cam.Has(Fault::NoRejoin)) return {false, "fault no_rejoin"};
  const std::string ssid = cam.Setting("wifi_ssid");
  const WifiNetwork* net = nullptr;
  for (const auto& w : cam.wifi_scan)
    if (w.ssid == ssid) {
      net = &w;
      break;
    }
  if (!net) return {false, "no network named '" + ssid + "' in range"};
  if (cam.family == 5) {
    // The CTP camera uses its wireless whenever it has a network (its enable flag is not
    // what decides).
    if (cam.Setting("wifi_authmode", "NONE") != CtpAuthMode(*net))
      return {false, "authmode " + cam.Setting("wifi_authmode") + " does not match " + CtpAuthMode(*net)};
    return KeyCheck(cam, net->security == 1, cam.Setting("wifi_key"));
  }
  if (cam.Setting("wifi_enable", "0") != "1") return {false, "wireless switched off"};
  const int sec = CgiSecurity(*net);
  if (cam.SettingInt("wifi_encrypt", 0) != sec)
    return {false, "encrypt " + cam.Setting("wifi_encrypt") + " does not match " + std::to_string(sec)};
  if (sec == 1) {
    const int k = cam.SettingInt("wifi_defkey", 0);
    if (k < 0 || k > 3) return {false, "no such default key"};
    return KeyCheck(cam, true, cam.Setting("wifi_key" + std::to_string(k + 1)));
  }
  return KeyCheck(cam, sec != 0, cam.Setting("wifi_wpa_psk"));
}

}  // namespace kestrova::camsim
