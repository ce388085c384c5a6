// Network settings over UDP: the senders of the family-2, family-5 and family-8 settings
// commands and ApplySettings, which dispatches by family. No reply is awaited for families
// 2, 5 and 8; the discovery that follows shows whether the camera took the settings.
//
// The commands go out from the discovery sockets (the family-2 command from the socket bound
// at 10000, family 5 from 7999, family 8 from 10001 or 6800). The sender is handed in as a
// function that sends bytes to the camera-side port from the right socket, so the discovery
// engine, a plain UdpSocket (UdpSender) or a test can serve.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova {

class AdapterPaths;
class UdpSocket;
class IDeviceSeries;

// Sends one datagram to the camera-side port; true when it was handed to the network.
using DatagramSender = std::function<bool(uint16_t port, const std::vector<uint8_t>& bytes)>;

// A sender over a plain socket: to address (the broadcast address in real use, which leaves
// through every adapter that paths lists, nullptr = the system's) at the port asked for, or at
// portOverride when given (loopback tests).
DatagramSender UdpSender(UdpSocket& socket, std::string address = "255.255.255.255",
                         std::optional<uint16_t> portOverride = std::nullopt, AdapterPaths* paths = nullptr);

inline constexpr uint16_t kMOISetPort = 10000;
inline constexpr uint16_t kCTPSetIPPort = 7999;
inline constexpr uint16_t kBinSetPort = 6801;
inline constexpr uint16_t kFamily9SetPort = 8600;

// Each returns true after sending; false when an address text is not four decimal numbers
// (family 2) or the send failed. oldDev is the listed record, newDev the settings record.
bool SendMOISet(const DatagramSender& send, const TDevInfo& oldDev, const TDevInfo& newDev, const std::string& user,
                const std::string& password);
bool SendCTPSetIP(const DatagramSender& send, const TDevInfo& oldDev, const TDevInfo& newDev, const std::string& user,
                  const std::string& password);
bool SendBinSet(const DatagramSender& send, const TDevInfo& oldDev, const TDevInfo& newDev);

// What ApplySettings sends through: one sender per family and the CGI family driver.
struct SettingsTransport {
  DatagramSender Family2;  // from IdUDPServer2
  DatagramSender Family5;  // from IdUDPServer4
  DatagramSender Family8;  // from IdUDPServer1 (wizard) or IdUDPServer5 (advanced window)
  IDeviceSeries* Series = nullptr;  // family 9; nullptr = the process-wide driver
  // Family 4: the closed SDK's configuration call with the settings record (ApplyDeviceSettings
  // only; the wizard's ApplySettings sends nothing for family 4).
  std::function<bool(const TDevInfo&)> Family4;
};

// The wizard's entry point, with the stored credentials: family 2 SendMOISet(user, password),
// 5 SendCTPSetIP(password), 8 SendBinSet, 9 SetNetParams of the driver (old IP, 8600) whose
// answer is the result; any other family sends nothing and gives false.
bool ApplySettings(const TDevInfo& oldDev, const TDevInfo& newDev, const std::string& user,
                   const std::string& password, const SettingsTransport& transport);

// The advanced window's Apply and kestrova-cli set-ip, after the credentials were asked for:
// family 4 gets User and Pwd := user, password and goes to the SDK's configuration call
// (false when there is none); every other family as ApplySettings.
bool ApplyDeviceSettings(const TDevInfo& oldDev, TDevInfo newDev, const std::string& user, const std::string& password,
                         const SettingsTransport& transport);

}  // namespace kestrova
