// What the closed-SDK tests share: a collector of the driver's reports (from any thread) and
// the settings record of the camera "Hallway" as the advanced window would hand it over.
#pragma once

#include <mutex>
#include <vector>

#include "core/discovery/dev_info.h"
#include "net/sdk/find_hisi.h"

namespace kestrova::testing {

struct Reports {
  std::mutex m;
  std::vector<TDevInfo> got;
  TFind_Hisi::ReportFn Fn() {
    return [this](const TDevInfo& d) {
      std::lock_guard lock(m);
      got.push_back(d);
    };
  }
  size_t Count() {
    std::lock_guard lock(m);
    return got.size();
  }
};

// Hardware address 00:40:8C:5A:6B:7C, new address 192.168.0.150, HTTP port 82, static, the
// DNS server of the advanced window, credentials admin / vemra.
inline TDevInfo HallwaySettings() {
  TDevInfo rec;
  rec.DevType = 4;
  rec.MAC = "00408c5a6b7c";
  rec.User = "admin";
  rec.Pwd = "vemra";
  rec.Name = "Hallway";
  rec.IP = "192.168.0.150";
  rec.HttpPort = 82;
  rec.DataPort = 8000;
  rec.NetMask = "255.255.255.0";
  rec.Gateway = "192.168.0.1";
  rec.AuxAddr = "relay.example.net";
  rec.DNS1 = "8.8.8.8";
  rec.DNS2 = "208.67.222.222";
  rec.AuxPort = 7000;
  rec.IPMode = 2;
  return rec;
}

}  // namespace kestrova::testing
