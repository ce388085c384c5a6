// The stand-in SDK library's side of its small protocol with the simulated cameras of family 4
// (README.md): the requests it sends and the answers it reads. No sockets here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "bytes.h"

namespace kestrova::sdksim {

using camsim::ByteView;
using camsim::Bytes;

inline constexpr uint16_t kServicePort = 9750;

// One camera as a search answer describes it (texts as they stood in their fields).
struct DeviceAnswer {
  uint16_t seq = 0;
  std::array<uint8_t, 6> mac{};
  bool dhcp = false;
  uint16_t httpPort = 0, dataPort = 0, auxPort = 0;
  std::string name, model, ip, netMask, gateway, dns, auxAddr;
};

// The configuration the PC sends (the camera chooses by the hardware address).
struct ConfigRequest {
  uint16_t seq = 0;
  std::array<uint8_t, 6> mac{};
  bool dhcp = false;
  uint16_t httpPort = 0, dataPort = 0, auxPort = 0;
  std::string name, ip, netMask, gateway, dns, auxAddr, user, password;
};

struct ConfigAnswer {
  uint16_t seq = 0;
  std::array<uint8_t, 6> mac{};
  uint8_t status = 0;  // 0 taken, 1 wrong credentials, 2 settings refused
};

Bytes BuildSearchRequest(uint16_t seq);
// Texts longer than their field are cut to it.
Bytes BuildConfigRequest(const ConfigRequest& r);
// nullopt unless the bytes are a whole search answer (or configuration answer) of version 1.
std::optional<DeviceAnswer> ParseSearchAnswer(ByteView d);
std::optional<ConfigAnswer> ParseConfigAnswer(ByteView d);

}  // namespace kestrova::sdksim
