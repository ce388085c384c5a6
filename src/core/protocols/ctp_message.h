// CTP, the line-oriented text command protocol of the CTP camera family: request builders
// (the TCP form and the two UDP forms) and the readers of its replies.
//
// TCP request, byte for byte:
//   "CMD " name " CTP/1.0" CRLF
//   "Content-Length:" <decimal body length, no blank> CRLF
//   CRLF
//   body = { "-" arg " " value CRLF } CRLF          (the length counts the body only)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova {

// One camera's wireless settings as CTP carries them.
struct TDEVWiFi {
  int32_t Enable = 0;      // -enable, 1 = on
  std::string SSID;        // -ssid
  std::string AuthMode;    // -authmode: "NONE", "WEP", "WPAPSK", "WPA2PSK"
  std::string EncrypType;  // -encryptype: "WEPAUTO", "TKIP", "AES" or empty
  std::string Key;         // -key
  int32_t DhcpEn = 0;      // -dhcpen (read only)
  bool operator==(const TDEVWiFi&) const = default;
};

// One line of an iwlist reply.
struct TWiFi2 {
  std::string SSID;
  int32_t Security = 0;  // 1 = encrypted
  int32_t Mode = 0;
  int32_t AuthType = 0;  // 0 WEP, 1 WPA-PSK, other WPA2-PSK
  int32_t Cipher = 0;    // 1 TKIP, 2 AES
  std::string Signal;    // percent, as text
  bool operator==(const TWiFi2&) const = default;
};

// A network of a list reply together with the text the list shows for it.
struct TCtpNetwork {
  std::string Text;  // SSID + "(" + Signal + "%)"
  TWiFi2 WiFi;
};

// The TCP request. Each body line is given without its line end ("-login admin:"); CR and LF
// inside a line are dropped so that a value cannot add argument lines of its own.
std::string BuildCtpRequest(std::string_view command, const std::vector<std::string>& bodyLines = {});

// The requests of the commands the client sends.
std::string BuildCtpKeepalive();
std::string BuildCtpLogin(std::string_view user, std::string_view password);  // both trimmed
std::string BuildCtpGetOrayState();
std::string BuildCtpGetWireless();
std::string BuildCtpSetWireless(const TDEVWiFi& wifi);
std::string BuildCtpListNetworks();
std::string BuildCtpRestart();
// The bare request line the file transfer ends with: "CMD exit CTP/1.0\r\n".
std::string BuildCtpExit();

// The UDP search: "SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n" (no NUL).
std::string BuildCtpSearch();

// The UDP setip text: the header "Content-Length: " (with a blank) and a length that counts
// the empty line after the header as part of the body. The user name is not sent.
std::string BuildCtpSetIP(const TDevInfo& oldDev, const TDevInfo& newDev, std::string_view password);

// Two-character groups counted from the end joined by ':' ("001122AABBCC" ->
// "00:11:22:AA:BB:CC"); a leading odd character is dropped.
std::string MacWithColons(std::string_view mac);

// --- replies -----------------------------------------------------------------------------

// Success tests: "200 OK" anywhere; keepalive only needs "200".
bool CtpReplyOk(std::string_view reply);
bool CtpKeepaliveOk(std::string_view reply);

// The body: everything after the first CRLF CRLF (empty when the reply has none).
std::string_view CtpReplyBody(std::string_view reply);

// getoraystate: the DDNS client state; 5 on a failed reply, without a "-status" line, or when
// the last such line does not carry a number.
int32_t ParseCtpOrayState(std::string_view reply);

// cfgwnic read: the settings, or nullopt when the reply is not a success.
std::optional<TDEVWiFi> ParseCtpWirelessConfig(std::string_view reply);

// iwlist: one entry per usable body line (empty when the reply is not a success).
std::vector<TCtpNetwork> ParseCtpNetworkList(std::string_view reply);

// --- framing -----------------------------------------------------------------------------

enum class CtpFrame {
  Incomplete,  // the header block has not ended yet, or the body is shorter than announced
  Complete,    // header and the announced body length have arrived
  Unframed,    // the header block ended but gives no usable Content-Length
};

struct CtpFrameState {
  CtpFrame State = CtpFrame::Incomplete;
  // Complete: the bytes the reply occupies (header block + announced body).
  std::size_t Size = 0;
};

// Tells whether the bytes received so far hold a whole reply. The length comes from the
// reply's own Content-Length header (blank after the colon optional, name case-insensitive)
// and counts the bytes after the first CRLF CRLF. Replies that announce no length end at the
// caller's quiet gap.
CtpFrameState CtpReplyFrame(std::string_view received);

}  // namespace kestrova
