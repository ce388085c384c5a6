// Readers of the camera CGI replies: texts of statements "var name=value;" and the records
// filled from them. Every reader works on the bytes given and never reads beyond them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova {

// The camera's wireless settings in the CGI form.
struct TWiFiParams {
  int32_t Enable = 0;
  std::string SSID;
  int32_t Mode = 0;
  int32_t Encrypt = 0;
  int32_t AuthType = 0;
  int32_t DefKey = 0;
  int32_t KeyFormat = 0;
  std::string Key1, Key2, Key3, Key4;
  int32_t Key1Bits = 0, Key2Bits = 0, Key3Bits = 0, Key4Bits = 0;
  std::string WpaPsk;
  bool operator==(const TWiFiParams&) const = default;
};

// The camera's factory DDNS parameters and the outcome of the last read.
struct TFactoryParams {
  std::string Index, Server, Port, User, Passwd;
  // 0 complete, 1 no index, 2 index not "10", 3 server or port missing, 4 no account,
  // 5 reply without "var", 6 request failed.
  int32_t Status = 0;
  bool operator==(const TFactoryParams&) const = default;
};

// One network of a CGI-family scan.
struct TWiFiRecord {
  std::string SSID;
  int32_t Mode = 0;
  int32_t Security = 0;
  std::string Dbm0, Dbm1, Mac;
  bool operator==(const TWiFiRecord&) const = default;
};

// One network of a family-2 or family-8 scan as the wireless step lists it.
struct TWiFi {
  std::string SSID;
  int32_t Security = 0;
  int32_t Mode = 0;
  bool operator==(const TWiFi&) const = default;
};

// The first occurrence of name, then the first ';' after it: the characters after the one
// character that follows the name, up to that ';', with every ' and " removed. Empty when the
// name or the ';' is missing.
std::string ExtractValue(std::string_view text, std::string_view name);

// The same for "var " + name, removing only single quotes. When "var name" or the ';' is
// missing, value keeps what it held and the result is false.
bool ExtractVarValue(std::string_view text, std::string_view name, std::string& value);

// The first occurrence of name: the text after the first '=' that follows it up to the first
// CR (or the end), one leading double quote dropped, trimmed; in a "var name=value;" line the
// closing ';' (and the quote before it) are dropped too. Empty when the name is missing.
std::string ExtractLineValue(std::string_view text, std::string_view name);

// The firmware version: the text between the double quote after the first sys_ver= and the
// next double quote; without sys_ver=" the text between the first two double quotes.
std::string ReadSysVersion(std::string_view reply);

// Fills every wireless field from "var " + its reply name.
TWiFiParams ParseWiFiParams(std::string_view reply);

// The factory-parameter read of a reply that the request produced: fills the record and sets
// Status 1..5 or 0 (fields not read keep their values).
void ParseFactoryParams(std::string_view reply, TFactoryParams& rec);

// Scan result of the CGI family: the count (0 when malformed) and one record per index
// 0..count-1; lines whose index is missing or not below the count are skipped. A count above
// kMaxScanRecords is treated as that limit.
inline constexpr int32_t kMaxScanRecords = 256;
struct TScanResult {
  int32_t Count = 0;
  std::vector<TWiFiRecord> Records;
};
TScanResult ParseScanResult(std::string_view reply);
// The list text of a record: SSID + "(" + Dbm0 + ")".
std::string ScanRecordText(const TWiFiRecord& rec);

// The scan result of families 2 and 8 as the wireless step reads it (family 8 names carry a
// blank after "]"). Only networks with a non-empty SSID are listed.
std::vector<TWiFi> ParseCgiScanList(std::string_view reply, int32_t devType);

// get_params.cgi (login style) into the record; user and password become User and Pwd, and
// DevType becomes 9. An address value (ip, mask, geteway, dns1, dns2) that is not a dotted-quad
// IPv4 address leaves its field empty.
void ParseDeviceParams(std::string_view reply, TDevInfo& dev, std::string_view user, std::string_view password);
// get_status.cgi into MAC, Name, Version and SN.
void ParseDeviceStatus(std::string_view reply, TDevInfo& dev);

}  // namespace kestrova
