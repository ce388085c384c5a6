// Option parsing shared by the kestrova-cli commands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"

namespace kestrova::cli {

// A decimal number in [lo, hi], the whole text.
bool ParseLong(const char* s, long lo, long hi, long& out);
bool ParsePort(const char* s, uint16_t& out);
// A camera's text for the terminal: control characters and bytes that are not UTF-8 become '?',
// so that the text cannot garble or steer the terminal.
std::string Printable(const std::string& s);
// What is printed for a password, which is never printed itself: "" for none, else "********".
std::string HiddenPassword(const std::string& s);

// The options of loopback test runs that every command running discovery takes (not in the
// help): --broadcast ADDR, --bind ADDR, --local-ports a,b,c,d,e, --local-port-f9 N and the
// camera-side ports --port-f2|uicam|sq610|f5|f8|f9 N. Each takes a value.
bool IsEngineOption(const std::string& name);
// Stores the option's value into the engine configuration; false when the value is bad.
bool TakeEngineOption(const std::string& name, const char* value, DiscoveryConfig& cfg);

// The options of the commands that work on one camera found by its MAC: --mac (required),
// --user, --password, --seconds N (1..3600, default 3), --json, and the options of loopback test
// runs (the engine's and --local-port-f9set, the local port of the family-9 settings packet).
struct CameraOptions {
  std::string mac, user, password;
  bool haveUser = false, havePassword = false, json = false;
  long seconds = 3;
  DiscoveryConfig engine;
  T517NetConfig series;
};
// Reads argv[1..] (argv[0] is the command). nullopt when the command may go on; otherwise the
// exit status to end with: 0 after --help (usage on stdout), 2 after an error (on stderr, with
// the usage).
std::optional<int> ParseCameraOptions(const char* command, int argc, char** argv, void (*usage)(FILE*),
                                      CameraOptions& out);

// The family-9 settings packet goes where the engine's requests go: its bind address, its
// broadcast address and its family-9 camera port (loopback test runs).
void UseEngineAddresses(const DiscoveryConfig& cfg, T517NetConfig& series);

}  // namespace kestrova::cli
