// Whether a camera answers at its LAN address, asked once, in the way its family understands.
// Blocking, safe from any thread (the wizard runs it on a worker thread, kestrova-cli inline).
#pragma once

#include <string>

#include "net/ctp/ctp_socket.h"

namespace kestrova {

struct TCheckDevOptions {
  int HttpTimeoutMs = 5000;     // network time-out, not scaled
  int Family8DelayMs = 3000;    // a fixed wait of the behaviour: scaled (net/platform)
  CtpTimeouts Ctp;
};

// url: the camera's LAN address (DeviceLanUrl). 1 when the camera answered, else 0:
//  - family 8: after the (scaled) 3 s that give it time to bring its network up, a GET of
//    url + "/get_status.cgi" without credentials; any HTTP response counts;
//  - family 5: the pooled CTP connection to the host and port of url (port 80 when url has
//    none) and its keep-alive; 1 when the keep-alive is answered with 200;
//  - any other family: a GET of url; any HTTP response counts, an error page too.
// Nothing is asked when url's host is not a dotted-decimal IPv4 address (0).
int CheckDevice(int devType, const std::string& url, const TCheckDevOptions& options = {});

}  // namespace kestrova
