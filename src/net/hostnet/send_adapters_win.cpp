// The adapters a broadcast leaves through, on Windows (IP Helper), sent out of with
// UdpSocket::SendToVia (IP_PKTINFO).
#include <winsock2.h>

#include "net/hostnet/adapters_win.h"
#include "net/hostnet/send_adapters.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

namespace {

class SystemPaths : public AdapterPaths {
 public:
  std::vector<SendAdapter> Adapters() override { return ListSendAdapters(); }
  bool SendVia(UdpSocket& socket, const SendAdapter& a, const std::string& addr, uint16_t port,
               std::span<const uint8_t> data) override {
    return socket.SendToVia(a.index, a.address, addr, port, data);
  }
};

}  // namespace

std::vector<SendAdapter> ListSendAdapters() {
  std::vector<SendAdapter> out;
  for (const WinAdapter& a : ListWinAdapters()) {
    if (a.loopback || !a.up || a.index <= 0) continue;
    for (const WinAdapter::Addr& x : a.addrs) {
      if (x.addr == 0) continue;
      out.push_back(SendAdapter{a.index, a.name, FormatIPv4NetOrder(htonl(x.addr))});
      break;
    }
  }
  return out;
}

AdapterPaths& SystemAdapterPaths() {
  static SystemPaths paths;
  return paths;
}

}  // namespace kestrova
