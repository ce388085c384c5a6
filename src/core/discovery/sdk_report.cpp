#include "core/discovery/sdk_report.h"

#include "core/discovery/ip_text.h"

namespace kestrova {

namespace {

// The same address rule as every other family's records (no leading zeros, nothing around).
bool IsAddress(const std::string& text) { return IsIPv4Text(text); }
bool IsAddressOrEmpty(const std::string& text) { return text.empty() || IsAddress(text); }
bool IsPort(int32_t port) { return port >= 0 && port <= 65535; }

}  // namespace

std::optional<TDevInfo> DeviceFromSdkReport(const TSdkReport& r) {
  if (!r.mac || !IsAddress(r.ip)) return std::nullopt;
  if (!IsAddressOrEmpty(r.netMask) || !IsAddressOrEmpty(r.gateway) || !IsAddressOrEmpty(r.dns)) return std::nullopt;
  if (!IsPort(r.httpPort) || !IsPort(r.dataPort)) return std::nullopt;
  TDevInfo d;
  d.DevType = 4;
  d.MAC = BytesToHexLower(*r.mac);
  d.Name = r.name;
  d.IP = r.ip;
  d.NetMask = r.netMask;
  d.Gateway = r.gateway;
  d.AuxAddr = r.auxAddr;
  d.DNS1 = r.dns;
  d.HttpPort = static_cast<uint16_t>(r.httpPort);
  d.DataPort = static_cast<uint16_t>(r.dataPort);
  d.AuxPort = r.auxPort;
  d.IPMode = r.dhcp == 1 ? 1 : 2;
  return d;
}

std::optional<TSdkConfigArgs> SdkConfigArgs(const TDevInfo& rec) {
  if (rec.MAC.size() != 12) return std::nullopt;
  bool hexOk = false;
  const std::vector<uint8_t> mac = HexToBytes(rec.MAC, 6, &hexOk);
  if (!hexOk || !IsAddress(rec.IP)) return std::nullopt;
  if (!IsAddressOrEmpty(rec.NetMask) || !IsAddressOrEmpty(rec.Gateway) || !IsAddressOrEmpty(rec.DNS1)) return std::nullopt;
  TSdkConfigArgs a;
  for (std::size_t i = 0; i < 6; ++i) a.mac[i] = mac[i];
  a.user = rec.User;
  a.password = rec.Pwd;
  a.name = rec.Name;
  a.ip = rec.IP;
  a.httpPort = rec.HttpPort;
  a.dataPort = rec.DataPort;
  a.netMask = rec.NetMask;
  a.gateway = rec.Gateway;
  a.auxAddr = rec.AuxAddr;
  a.dns = rec.DNS1;
  a.auxPort = rec.AuxPort;
  a.dhcp = rec.IPMode == 1 ? 1 : 0;
  return a;
}

}  // namespace kestrova
