// The camera side of CTP over TCP: request framing and the commands' answers. Pure functions
// on the camera's live state; the TCP server shell is in tcp_services.*.
#pragma once

#include <string>
#include <string_view>

#include "config.h"

namespace kestrova::camsim {

struct CtpRequest {
  std::string command;  // e.g. "keepalive"
  std::string body;     // the argument lines (with the closing CR LF)
};

// Takes one request from the front of `buf`: the number of bytes it used when a whole request
// is there, 0 when more bytes are needed, -1 when the bytes are not a CTP request.
long ParseCtpRequest(std::string_view buf, CtpRequest& out);

struct CtpAnswer {
  std::string reply;
  bool reboot = false;  // close every connection and restart after answering
  bool hang = false;    // never answer
  std::string note;
};

CtpAnswer HandleCtp(CameraConfig& cam, const CtpRequest& req);

// "-name value" lines of a body: the value of the first line for `name` (after the first
// blank, as sent), or nothing.
bool CtpArg(const std::string& body, const std::string& name, std::string& value);

}  // namespace kestrova::camsim
