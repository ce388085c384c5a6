#include "net/sockets/adapter_paths.h"

#include "net/sockets/udp_socket.h"

namespace kestrova {

bool IsLimitedBroadcast(const std::string& addr) {
  const auto a = ParseIPv4NetOrder(addr);
  return a && *a == 0xFFFFFFFFu;
}

BroadcastOutcome SendToEveryAdapter(UdpSocket& socket, AdapterPaths& paths, const std::vector<SendAdapter>& adapters,
                                    const std::string& addr, uint16_t port, std::span<const uint8_t> data) {
  BroadcastOutcome out;
  if (!IsLimitedBroadcast(addr)) {
    out.adapters = 1;
    out.sent = socket.IsOpen() && socket.SendTo(addr, port, data) ? 1 : 0;
    return out;
  }
  for (const SendAdapter& a : adapters) {
    ++out.adapters;
    // An adapter that went away since it was listed fails here; the others still get it.
    if (socket.IsOpen() && paths.SendVia(socket, a, addr, port, data)) ++out.sent;
  }
  return out;
}

BroadcastOutcome SendToEveryAdapter(UdpSocket& socket, AdapterPaths& paths, const std::string& addr, uint16_t port,
                                    std::span<const uint8_t> data) {
  if (!IsLimitedBroadcast(addr)) return SendToEveryAdapter(socket, paths, {}, addr, port, data);
  return SendToEveryAdapter(socket, paths, paths.Adapters(), addr, port, data);
}

}  // namespace kestrova
