// Family 4, found and configured through the closed SDK library: what one search report of the
// library becomes in the device list, and what a settings record becomes in the library's
// configuration call. Plain values here; loading the library and the C calls are net/sdk's.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/discovery/dev_info.h"

namespace kestrova {

// The library inside the program folder.
#ifdef _WIN32
inline constexpr const char* kSdkLibraryRelativePath = "286\\DVSNETClient.dll";
#else
inline constexpr const char* kSdkLibraryRelativePath = "286/libDVSNETClient.so";
#endif

// The search's constant arguments: wait time, mode, reserved.
inline constexpr int32_t kSdkSearchWaitMs = 3000;
inline constexpr int32_t kSdkSearchMode = 1;
inline constexpr int32_t kSdkSearchReserved = 0;

// Longest text taken from one text parameter of a report; the rest is not read.
inline constexpr std::size_t kSdkTextMax = 255;

// The values of one search report, with the texts copied out of the library's buffers (a NULL
// text is empty). index, model and flags are passed on by the library but mean nothing here.
struct TSdkReport {
  int32_t index = 0;
  std::string name;
  std::string model;
  std::string ip;
  std::optional<std::array<uint8_t, 6>> mac;  // nullopt: the library gave no address
  int32_t httpPort = 0;
  int32_t dataPort = 0;
  std::string netMask;
  std::string gateway;
  std::string auxAddr;
  std::string dns;
  uint16_t auxPort = 0;
  int32_t flags = 0;
  int32_t dhcp = 0;
};

// The record of one report: DevType 4, MAC as 12 lower-case hex digits, Name, IP, NetMask,
// Gateway, AuxAddr, DNS1, HttpPort, DataPort, AuxPort, IPMode 1 when the DHCP flag is 1, else 2.
// nullopt when the report names no camera that can be listed: no hardware address, an IP that
// is not a dotted-quad IPv4 address, a mask, gateway or DNS server that is neither empty nor
// one, or a port outside 0..65535 (a wrapped port would lead to another service).
std::optional<TDevInfo> DeviceFromSdkReport(const TSdkReport& report);

// The arguments of the configuration call, in its order.
struct TSdkConfigArgs {
  std::array<uint8_t, 6> mac{};
  std::string user, password, name, ip;
  int32_t httpPort = 0;
  int32_t dataPort = 0;
  std::string netMask, gateway, auxAddr, dns;
  int32_t auxPort = 0;
  int32_t dhcp = 0;  // 1 when IPMode is 1, else 0
  bool operator==(const TSdkConfigArgs&) const = default;
};

// The configuration call for a settings record (User and Pwd already set from the credential
// dialog): MAC from its 12 hex digits, DNS1 as the DNS server, AuxAddr and AuxPort as the
// report gave them. nullopt (nothing is sent) when MAC is not 12 hex digits, IP is not a
// dotted-quad IPv4 address, or NetMask, Gateway or DNS1 is neither empty nor one.
std::optional<TSdkConfigArgs> SdkConfigArgs(const TDevInfo& rec);

}  // namespace kestrova
