// Option parsing shared by the kestrova-cli commands.
#pragma once

#include <cstdint>
#include <string>

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

}  // namespace kestrova::cli
