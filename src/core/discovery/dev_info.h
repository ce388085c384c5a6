// The record that describes one camera found on the LAN. A plain value type: copying it copies
// every field. DevType -1 marks a record that no parser filled.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

struct TDevInfo {
  int32_t DevType = -1;     // family code: 2, 4, 5, 8, 9
  std::string MAC;          // identity key (exact, case-sensitive comparison)
  std::string SN;
  std::string Name;
  std::string Version;
  std::string IP;
  std::string NetMask;
  std::string Gateway;
  std::string AuxAddr;      // family 4 only
  std::string DNS1;
  std::string DNS2;
  uint16_t HttpPort = 0;
  uint16_t DataPort = 0;
  uint16_t AuxPort = 0;     // family 4 only
  uint8_t IPMode = 0;       // 0 PPPoE, 1 DHCP, 2 static
  std::string DDnsUser;
  std::string DDnsPwd;
  std::string DDnsServer;
  std::string User;
  std::string Pwd;
  int32_t LifeTicks = 0;
  uint16_t ExtWord = 0;     // family 8 only

  // Resets every field to zero/empty; DevType becomes -1.
  void Clear() { *this = TDevInfo{}; }
  bool operator==(const TDevInfo&) const = default;
};

// Family letter shown in the device lists: 2 "F", 4 "H", 5 "E", 8 "H", 9 "T", others "".
std::string DevTypeLetter(int32_t code);
// Families 5 and 9 send the name in the camera's own code page, which may be a legacy (ANSI)
// one: true when such a name is not valid UTF-8, so that it is shown decoded with the code page
// of the current language. The bytes of Name stay as received either way.
bool NameInLegacyCodePage(const TDevInfo& dev);
// "http://" + IP, then ":" + HttpPort unless the port is 80.
std::string DeviceLanUrl(const TDevInfo& dev);
// From DDnsServer: the text from the first "." on, cut before the first ":" that remains.
std::string DdnsDomainSuffix(const TDevInfo* dev);
// "http://" + DDnsUser + DdnsDomainSuffix (no port); empty without a device, without a DDNS
// account name (no host to name) or without a suffix.
std::string DeviceOuterUrl(const TDevInfo* dev);

}  // namespace kestrova
