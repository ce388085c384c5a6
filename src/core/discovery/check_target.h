// Where the reachability check asks a camera, read from its LAN address ("http://" + IP, then
// ":" + HttpPort unless the port is 80).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

struct TCheckTarget {
  std::string Host;  // dotted-decimal IPv4
  int Port = 80;
};

// The text after the first 7 characters ("http://") is host, then ':' and the port. A port that
// is not a decimal number of 1..65535 reads as 81; an address without a port (port 80 is not
// written) reads as port 80. None when the host is not a dotted-decimal IPv4 address, so that
// nothing is ever asked of an address a camera reported wrongly.
std::optional<TCheckTarget> CheckTargetOfUrl(std::string_view url);

}  // namespace kestrova
