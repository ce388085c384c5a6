// Whether a camera joins the wireless network it was given when it restarts: the settings it
// took (web or CTP form) are checked against the networks it sees, as a camera's radio would
// find out. A camera that does not join is back on the wire, or lost until its cable is
// plugged back (the simulator's `cable_back_ms`).
#pragma once

#include <string>

#include "config.h"

namespace kestrova::camsim {

// The web scan's security code of a network (0 none, 1 WEP, 2/3 WPA-PSK AES/TKIP,
// 4/5 WPA2-PSK AES/TKIP), or the entry's configured code.
int CgiSecurity(const WifiNetwork& w);

struct JoinOutcome {
  bool joined = false;
  std::string why;  // for the log
};

// The camera's current wireless settings against its scan list. `wifi_join_key`, when set, is
// the pass phrase every encrypted network accepts; without it any non-empty key does.
JoinOutcome DecideJoin(const CameraConfig& cam);

}  // namespace kestrova::camsim
