#include "net/setnet/setnet.h"

#include "core/protocols/ctp_message.h"
#include "core/protocols/setnet_packets.h"
#include "net/cgi/device_series.h"
#include "net/hostnet/send_adapters.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

DatagramSender UdpSender(UdpSocket& socket, std::string address, std::optional<uint16_t> portOverride,
                         AdapterPaths* paths) {
  return [&socket, address = std::move(address), portOverride, paths](uint16_t port, const std::vector<uint8_t>& bytes) {
    AdapterPaths& p = paths ? *paths : SystemAdapterPaths();
    return socket.IsOpen() && SendToEveryAdapter(socket, p, address, portOverride.value_or(port), bytes).Sent();
  };
}

bool SendMOISet(const DatagramSender& send, const TDevInfo&, const TDevInfo& newDev, const std::string& user,
                const std::string& password) {
  auto packet = BuildMOISet(newDev, user, password);
  return packet && send && send(kMOISetPort, *packet);
}

bool SendCTPSetIP(const DatagramSender& send, const TDevInfo& oldDev, const TDevInfo& newDev, const std::string&,
                  const std::string& password) {
  const std::string text = BuildCtpSetIP(oldDev, newDev, password);
  return send && send(kCTPSetIPPort, std::vector<uint8_t>(text.begin(), text.end()));
}

bool SendBinSet(const DatagramSender& send, const TDevInfo& oldDev, const TDevInfo& newDev) {
  return send && send(kBinSetPort, BuildBinSet(oldDev, newDev));
}

bool ApplySettings(const TDevInfo& oldDev, const TDevInfo& newDev, const std::string& user,
                   const std::string& password, const SettingsTransport& t) {
  switch (newDev.DevType) {
    case 2: return SendMOISet(t.Family2, oldDev, newDev, user, password);
    case 5: return SendCTPSetIP(t.Family5, oldDev, newDev, user, password);
    case 8: return SendBinSet(t.Family8, oldDev, newDev);
    case 9: {
      IDeviceSeries& series = t.Series ? *t.Series : DeviceSeries();
      return series.SetNetParams(oldDev.IP, kFamily9SetPort, user, password, newDev, oldDev);
    }
    default: return false;
  }
}

bool ApplyDeviceSettings(const TDevInfo& oldDev, TDevInfo newDev, const std::string& user, const std::string& password,
                         const SettingsTransport& t) {
  if (newDev.DevType != 4) return ApplySettings(oldDev, newDev, user, password, t);
  newDev.User = user;
  newDev.Pwd = password;
  return t.Family4 && t.Family4(newDev);
}

}  // namespace kestrova
