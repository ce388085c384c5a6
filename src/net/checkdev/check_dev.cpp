#include "net/checkdev/check_dev.h"

#include "core/discovery/check_target.h"
#include "net/http/tools.h"
#include "net/platform/scaled_clock.h"

namespace kestrova {

int CheckDevice(int devType, const std::string& url, const TCheckDevOptions& options) {
  const auto target = CheckTargetOfUrl(url);
  if (!target) return 0;
  switch (devType) {
    case 8:
      SleepScaled(options.Family8DelayMs);
      return TTools::HttpGet(url + "/get_status.cgi", {}, {}, options.HttpTimeoutMs).Ok ? 1 : 0;
    case 5: {
      CtpConnection conn = AcquireConnection(target->Host, target->Port, options.Ctp);
      return conn && Keepalive(*conn, options.Ctp) ? 1 : 0;
    }
    default:
      return TTools::HttpGet(url, {}, {}, options.HttpTimeoutMs).Ok ? 1 : 0;
  }
}

}  // namespace kestrova
