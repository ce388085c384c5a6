// The DDNS service's state and answers. The state comes from a configuration file:
//
//   [service]
//   fault = none            ; none | down | slow | garbage (whole service)
//   slow_ms = 30000         ; delay of a slow answer
//   garbage = <text>        ; body of a garbage answer (\xNN escapes); a default otherwise
//   fetch_timeout_ms = 3000 ; time-out of the reachability fetch
//   fetch_allow = 127.0.0.0/8 192.168.0.0/16   ; networks the reachability fetch may reach
//
//   [account <ID>]
//   password = <password>
//   registered = 1          ; 0: the service does not know the ID
//   online = 1              ; the camera is logged in
//   remote = 203.0.113.20:81 ; the camera's public address, given to getremote
//   fault = none            ; none | slow | garbage, for this account's requests only
//
// Lines starting with ';' or '#' are comments; names are case-insensitive.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kvsim {

enum class Fault { None, Down, Slow, Garbage };

struct Account {
  std::string id;
  std::string password;
  bool registered = true;
  bool online = false;
  std::string remote;
  Fault fault = Fault::None;
};

struct Network {
  uint32_t net = 0, mask = 0;
};

struct ServiceConfig {
  Fault fault = Fault::None;
  int slowMs = 30000;
  std::string garbage = std::string("\x7f" "ELF\x02\x01\x01\xff\xfe<html>\x1b[2J", 16);
  int fetchTimeoutMs = 3000;
  std::vector<Network> fetchAllow;
  std::map<std::string, Account> accounts;  // by ID, exact
};

// Parses the configuration text; errors go to *error (line number and reason) and give nullopt.
std::optional<ServiceConfig> ParseServiceConfig(const std::string& text, std::string* error);

std::optional<Fault> ParseFault(const std::string& text);
std::optional<Network> ParseNetwork(const std::string& text);  // "a.b.c.d/len" or "a.b.c.d"
bool Allowed(const std::vector<Network>& allow, uint32_t hostOrderIp);

// Fetches a URL for the reachability check: true when an HTTP 200 answer came in time.
using FetchFn = std::function<bool(const std::string& host, uint16_t port, const std::string& path, int timeoutMs)>;

struct Answer {
  int status = 200;
  std::string body;
  int delayMs = 0;  // answer only after this delay (slow fault)
};

// The service's answer to one request (path and decoded query parameters).
Answer Respond(const ServiceConfig& cfg, const std::string& path, const std::map<std::string, std::string>& query,
               const FetchFn& fetch);

// The target of a reachability request: "http://" host [":" port] "/oem.txt", host a name or
// dotted address. nullopt for anything else.
struct FetchTarget {
  std::string host;
  uint16_t port = 80;
  std::string path;
};
std::optional<FetchTarget> ParseFetchUrl(const std::string& url);

}  // namespace kvsim
