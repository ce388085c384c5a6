// The record that describes one camera found on the LAN. A plain value type: copying it copies
// every field. DevType -1 marks a record that no parser filled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The address fields of a record as a device reported them. IP must be a dotted-quad IPv4
// address (IsIPv4Text): otherwise the result is false and the record must not be listed, so
// that no URL, request or connection is ever made from it. NetMask, Gateway, DNS1 and DNS2
// texts that are not dotted-quad addresses are emptied (they are shown, sent back in settings
// commands and could become a connection target, so nothing but an address may stand there).
bool KeepReportedAddresses(TDevInfo& rec);

// Family letter shown in the device lists: 2 "F", 4 "H", 5 "E", 8 "H", 9 "T", others "".
std::string DevTypeLetter(int32_t code);
// Whether a camera base address carries its port when the port is 80.
enum class TUrlPort : uint8_t { UnlessDefault, Always };

// The one builder of every address of a camera on the LAN: scheme + "://" + ip, then ":" +
// port unless the port is 80 and portStyle is UnlessDefault. Empty when ip is not an address a
// request may go to (IsUnicastIPv4Text): a record with any other text gets no URL and so no
// request. The scheme is written as given ("Http" for the CGI family's scan base).
std::string CameraBaseUrl(std::string_view ip, uint16_t port, TUrlPort portStyle = TUrlPort::UnlessDefault,
                          std::string_view scheme = "http");

// A base address handed in by a caller, taken apart: "http://" (any letter case) + an address
// that CameraBaseUrl accepts + optionally ":" + a port 0..65535, and nothing else (what
// CameraBaseUrl builds). nullopt for any other text (a user part, a host name, a path, a
// second port ...).
struct TCameraEndpoint {
  std::string IP;
  uint16_t Port = 80;
  bool PortWritten = false;  // the text held ":" + port
  bool operator==(const TCameraEndpoint&) const = default;
};
std::optional<TCameraEndpoint> ParseCameraBaseUrl(std::string_view base);

// CameraBaseUrl(IP, HttpPort): "http://" + IP, then ":" + HttpPort unless the port is 80;
// empty when IP is not an address a request may go to.
std::string DeviceLanUrl(const TDevInfo& dev);
// Families 5 and 9 send the name in the camera's own code page, which may be a legacy (ANSI)
// one: true when such a name is not valid UTF-8, so that it is shown decoded with the code page
// of the current language. The bytes of Name stay as received either way.
bool NameInLegacyCodePage(const TDevInfo& dev);
// From DDnsServer: the text from the first "." on, cut before the first ":" that remains.
std::string DdnsDomainSuffix(const TDevInfo* dev);
// "http://" + DDnsUser + DdnsDomainSuffix (no port); empty without a device, without a DDNS
// account name (no host to name) or without a suffix.
std::string DeviceOuterUrl(const TDevInfo* dev);
// The outer address of a DDNS account under a domain suffix: "http://" + account + suffix, or
// empty when the two texts together are not a plain host name (IsHostNameText): the account
// and the suffix come from the camera, and a '@', '/', ':' or blank in them would name another
// host than the camera's.
std::string OuterUrlOf(std::string_view account, std::string_view suffix);

}  // namespace kestrova
