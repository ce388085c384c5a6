#include "core/discovery/check_target.h"

#include <charconv>

#include "core/discovery/ip_text.h"

namespace kestrova {

std::optional<TCheckTarget> CheckTargetOfUrl(std::string_view url) {
  if (url.size() <= 7) return std::nullopt;
  const std::string_view rest = url.substr(7);
  const size_t colon = rest.find(':');
  TCheckTarget t;
  const std::string_view host = rest.substr(0, colon);
  if (!IPStrToBytes(host)) return std::nullopt;
  t.Host = std::string(host);
  if (colon == std::string_view::npos) return t;  // port 80 is left out of the address
  const std::string_view portText = rest.substr(colon + 1);
  int port = 0;
  auto [p, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
  const bool number = !portText.empty() && ec == std::errc() && p == portText.data() + portText.size() &&
                      port >= 1 && port <= 65535;
  t.Port = number ? port : 81;
  return t;
}

}  // namespace kestrova
