// The address step of the wizard, as pure rules and one flow over injected I/O: whether and how
// the chosen camera is given an address in the PC's subnet (ConfigureCamera), the address-in-use
// check of a proposed address, sending the settings, and the wait until the camera is listed at
// its new address. The wizard page and `kestrova-cli setup` are the two front ends; they supply
// the PC's address, the probe, the settings command, the pauses (on their scaled clock, keeping
// their window or engine running) and the device-list look-up.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/dev_info.h"
#include "core/hostnet/address_state.h"
#include "core/hostnet/net_card.h"

namespace kestrova {

// The address cameras leave the factory with.
inline constexpr std::string_view kFactoryAddress = "192.168.1.126";

// The number r the new address and ports are derived from: two-character pieces of the MAC
// text, the first starting at its second-last character and each next one 3 characters further
// left (a piece that would start before the text starts at its first character); the first
// piece that is not "00" is read as a hexadecimal number. When every piece is "00", the text is
// empty, or that piece is not a hexadecimal number (a family-2 identity text may hold any
// letters), r is nowMillis, the millisecond part of the current time of day (0..999).
int MacNumber(std::string_view mac, int nowMillis);

// The PC side: the address and gateway of the adapter facing the camera (the advanced window's
// edCurIP and edCurGate), and its mask.
struct TSetIpPc {
  std::string IP;
  std::string Gateway;
  std::string NetMask;
};

struct TSetIpPlan {
  enum TKind {
    CheckOnly,      // nothing to change: check that the camera answers
    Apply,          // send New
    NoPcAddress,    // the PC's address is empty or not dotted decimal: nothing proposed
    BadCamera,      // the camera's own address is not dotted decimal: nothing proposed
    Unusable,       // the derived address is not a usable host of the PC's subnet
  } Kind = CheckOnly;
  TDevInfo New;     // Apply: the settings record (a copy of the camera's with the changes)
  std::string MessageKey;  // the status line for NoPcAddress, BadCamera, Unusable
  std::string MessageArg;  // the address the message names (Unusable)
};

// Decides for a listed camera:
//  - same subnet (first three octets of the camera's and the PC's address equal, as numbers),
//    not at the factory address and HTTP port not 81: a DHCP camera is switched to static
//    (IPMode 2, nothing else changes); any other camera is only checked;
//  - otherwise r = MacNumber; the address stays when the camera is in the PC's subnet and not
//    at the factory address, else it becomes the PC's first three octets and h + r, h the
//    camera's last octet ((h + r) mod 255 when h + r reaches 256); HTTP port 1081 + r when it
//    was 81; static; data port + 2000 + r (16 bits, wrapping); gateway the PC's gateway; DNS
//    8.8.8.8 and 208.67.222.222; mask and every other field unchanged.
// A derived address that is the PC subnet's network or broadcast address (by the PC's mask when
// it is a valid one, else by the last octet 0 or 255) is never proposed: IDS_AUTOIPINVALID.
TSetIpPlan ConfigureCamera(const TDevInfo& dev, const TSetIpPc& pc, int nowMillis);

// The waits after the settings were sent: 30 s as 300 pauses of 100 ms, then up to 500
// look-ups of the new address, 100 ms apart.
struct TSetIpWaits {
  int SettlePauses = 300;
  int Lookups = 500;
  int PauseMs = 100;
};

// What the flow asks of its front end. Pauses are in the behaviour's milliseconds; the front
// end scales them and keeps its window or engine running meanwhile, and answers false once the
// run is abandoned (the user left the page), which ends the flow at once.
struct TSetIpIo {
  // Whether the address is already in use; empty: no probe (the address counts as free).
  std::function<TProbeResult(const std::string& ip)> Probe;
  // Sends the family's settings command (old: the listed record, neu: the settings record).
  std::function<bool(const TDevInfo& old, const TDevInfo& neu)> Apply;
  std::function<bool(int ms)> Pause;
  // Whether the device list now holds an entry with this address (looked up anew every time).
  std::function<bool(const std::string& ip)> Listed;
  // Told once the decision to change the camera's settings is taken, before anything is sent.
  std::function<void(const TSetIpPlan&)> OnConfiguring;
};

struct TSetIpResult {
  enum Status {
    Found,        // checked only, or the camera is listed at its new address: run the check
    NotFound,     // sent, but the camera never came back at its new address
    ApplyFailed,  // the settings command failed (or its credential prompt was cancelled)
    InUse,        // another device answers at the proposed address: nothing sent
    NoProposal,   // see Plan.Kind (NoPcAddress, BadCamera, Unusable): nothing sent
    Abandoned,    // the user left the page during the wait
  } Status = NotFound;
  TSetIpPlan Plan;
  TDevInfo Device;         // Found: the record to check (the camera's, or the settings record)
  std::string MessageKey;  // the status line: "" for Found and Abandoned
  std::string MessageArg;
};

// The whole step after the camera was chosen: decide, probe a changed address, send, wait.
TSetIpResult RunSetIp(const TDevInfo& dev, const TSetIpPc& pc, int nowMillis, const TSetIpIo& io,
                      const TSetIpWaits& waits = {});

// The adapter the PC faces the camera with: the first whose subnet holds the camera's address;
// else the one whose address is routeSource (the local address the system would send to the
// camera from); else -1.
int CardFacingCamera(const std::vector<TNET_CARD>& cards, std::string_view cameraIp, std::string_view routeSource);

}  // namespace kestrova
