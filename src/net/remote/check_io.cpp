#include "net/remote/check_io.h"

#include "core/discovery/ip_text.h"
#include "net/cgi/device_series.h"
#include "net/ctp/ctp_socket.h"
#include "net/http/tools.h"
#include "net/platform/scaled_clock.h"

namespace kestrova {

std::optional<std::string> CheckHttpGet(const std::string& url, int timeoutMs) {
  THttpReply r = TTools::HttpGet(url, {}, {}, timeoutMs);
  if (!r.Ok) return std::nullopt;
  return std::move(r.Text);
}

remote::TDdnsCheckIo DdnsCheckIo(const TDevInfo& dev, const std::string& cameraUser,
                                 const std::string& cameraPassword) {
  remote::TDdnsCheckIo io;
  io.Get = CheckHttpGet;
  io.FactoryStatus = [dev, cameraUser, cameraPassword]() -> int32_t {
    TT517Series series;
    series.SetDevice(dev);
    const TFactoryParams* f = series.GetFactoryParams(cameraUser, cameraPassword, false);
    return f ? f->Status : 6;
  };
  io.OrayState = [ip = dev.IP, port = dev.HttpPort]() -> std::optional<int32_t> {
    if (!IsIPv4Text(ip)) return std::nullopt;  // a reported address that is none
    CtpConnection conn = AcquireConnection(ip, port);
    if (!conn) return std::nullopt;
    return GetOrayState(*conn);
  };
  return io;
}

remote::PauseFn ScaledPause() {
  return [](int ms) { SleepScaled(ms); };
}

}  // namespace kestrova
