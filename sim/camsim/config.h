// The simulated cameras as the configuration file describes them.
//
// The file is INI-like: one section per camera ([camera1], [porch] ...), "key = value" lines,
// comments starting with '#' or ';'. Section [sim] (optional) holds settings of the whole
// simulator. Unknown keys are kept in `extra` so later features can read them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrova::camsim {

enum class Fault {
  Silent,       // receives and logs, never answers
  Slow,         // answers after slow_ms
  Truncated,    // answers with only the first truncate_to bytes (default: half)
  WrongOpcode,  // answers with the family's answer code changed
  Oversized,    // answers with the datagram padded to oversize_to bytes (default 1400)
  RefuseSet,    // refuses settings commands (family 9 answers with a status other than 0x8000)
  NoAuth,       // (control protocols) answers every request as if the credentials were wrong
  Hang,         // (control protocols) accepts connections and never answers
  HttpError,    // (HTTP) answers every request with an error page (status 500)
  CloseMid,     // (CTP) sends half of each reply, then closes the connection
  Garbage,      // (CTP) answers with bytes that are not CTP
  NoRejoin,     // (wireless) never joins a wireless network after a restart, whatever it was given
};

struct WifiNetwork {  // one network of a wireless scan, as the camera reports it
  std::string ssid, bssid;
  int security = 1, mode = 0, authtype = 2, cipher = 2;
  int signal = 70;
  int channel = 6;
  int web_security = -1;  // the web scan's security code; -1: derived from the CTP form
  bool operator==(const WifiNetwork&) const = default;
};

struct CameraConfig {
  std::string section;  // the section name, the camera's handle in logs
  int family = 0;       // 2, 4, 5, 8 or 9

  std::string mac;       // hardware address (families 4, 5, 8, 9), text as configured
  std::string identity;  // family 2: the 13-byte identity text
  std::string sn;        // family 8: 14 hex digits; 5 and 9: text
  std::string name;      // UTF-8
  std::string version;   // family 2: "a.b.c.d:e.f.g.h"
  std::string ip, mask = "255.255.255.0", gateway, dns1, dns2;
  uint16_t http_port = 80, data_port = 0;
  bool dhcp = false;
  std::string ddns_server, ddns_host, ddns_user, ddns_pwd;
  std::string user = "admin", pwd;

  // family details
  int f2_body_len = 195;       // 64, 65 or 195
  uint16_t f8_word = 0x0001;   // header bytes 4-5 of the family-8 answers
  uint16_t ext_word = 0;       // NetBlock offset 94
  std::vector<std::string> f5_keys;  // order of the family-5 reply lines (default order if empty)
  bool reply_unicast = false;  // answer to the sender's address instead of the limited broadcast

  std::set<Fault> faults;
  int slow_ms = 500;
  int truncate_to = -1;   // -1: half the answer
  int oversize_to = 1400;
  uint32_t set_status = 0x8000;  // family-9 settings answer status when accepting

  std::vector<WifiNetwork> wifi_scan;
  std::map<std::string, std::string> extra;  // every key not listed above

  bool Has(Fault f) const { return faults.count(f) != 0; }
  // A key of `extra` (wireless, factory and other control-protocol settings), or `def`.
  std::string Setting(const std::string& key, const std::string& def = "") const {
    auto it = extra.find(key);
    return it == extra.end() ? def : it->second;
  }
  int SettingInt(const std::string& key, int def) const;
  // The address text the camera writes into its answers for one of its own addresses (field
  // "ip", "mask", "gateway", "dns1" or "dns2"): the value of reported_FIELD when the file gives
  // one (any text: a firmware that reports a host name, "x@host/" or junk), else `own`. The
  // camera itself keeps its configured address (its servers listen there).
  std::string Reported(const std::string& field, const std::string& own) const {
    return Setting("reported_" + field, own);
  }
  bool operator==(const CameraConfig&) const = default;
};

struct SimConfig {
  std::vector<CameraConfig> cameras;
  std::map<std::string, std::string> sim;  // the [sim] section
};

// Reads a configuration text; on error, returns nothing and sets `error` to a line-numbered
// message. Checks what the simulator needs (a known family, an address, a MAC or identity).
std::optional<SimConfig> ParseConfig(const std::string& text, std::string& error);
std::optional<SimConfig> LoadConfig(const std::string& path, std::string& error);

const char* FaultName(Fault f);

}  // namespace kestrova::camsim
