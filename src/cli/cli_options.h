// Option parsing shared by the kestrova-cli commands.
#pragma once

#include <cstdint>
#include <string>

#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"

namespace kestrova::cli {

// A decimal number in [lo, hi], the whole text.
bool ParseLong(const char* s, long lo, long hi, long& out);
bool ParsePort(const char* s, uint16_t& out);
// Control bytes become '?' so that a camera's texts cannot garble the terminal.
std::string Printable(const std::string& s);

// The options of loopback test runs that every command running discovery takes (not in the
// help): --broadcast ADDR, --bind ADDR, --local-ports a,b,c,d,e, --local-port-f9 N and the
// camera-side ports --port-f2|uicam|sq610|f5|f8|f9 N. Each takes a value.
bool IsEngineOption(const std::string& name);
// Stores the option's value into the engine configuration; false when the value is bad.
bool TakeEngineOption(const std::string& name, const char* value, DiscoveryConfig& cfg);

// The family-9 settings packet goes where the engine's requests go: its bind address, its
// broadcast address and its family-9 camera port (loopback test runs).
void UseEngineAddresses(const DiscoveryConfig& cfg, T517NetConfig& series);

}  // namespace kestrova::cli
