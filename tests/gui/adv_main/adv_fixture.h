// Sample cameras for the advanced-window tests and screenshots.
#pragma once

#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova::testing {

inline TDevInfo SampleCamera(int family, const char* mac, const char* name, const char* ip, uint16_t port = 80) {
  TDevInfo d;
  d.DevType = family;
  d.MAC = mac;
  d.Name = name;
  d.IP = ip;
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "192.168.1.1";
  d.HttpPort = port;
  d.IPMode = 2;
  d.Version = "1.0.2.7";
  return d;
}

// One camera of each UDP family, in another order than the address order.
inline std::vector<TDevInfo> SampleCameras() {
  std::vector<TDevInfo> v;
  v.push_back(SampleCamera(5, "00-1a-2b 3c4d5e", "Garage", "192.168.1.10", 81));
  v.back().DDnsServer = "ddns.example.net";
  v.back().DDnsUser = "e5b0002";
  v.push_back(SampleCamera(2, "ID0000000001", "Front door", "192.168.1.9"));
  v.push_back(SampleCamera(9, "00:1A:2B:3C:4D:60", "Office", "192.168.1.100", 8080));
  return v;
}

}  // namespace kestrova::testing
