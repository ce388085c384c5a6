// Discovery datagrams of the UDP families: the requests of a search round and the classifier
// that turns a received datagram into a device record and/or follow-up datagrams.
//
// Everything here is pure: bytes in, bytes or records out. The engine owns the sockets, sends
// what these functions return and feeds every datagram any discovery socket receives to
// ParseDatagram.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/discovery/cgi_search.h"  // BuildFamily9Search
#include "core/discovery/dev_info.h"

namespace kestrova {

// The receiving sockets of the discovery session, in the order they are bound. Each is bound to
// the first free port at or above its preferred port.
enum class DiscoverySocket : uint8_t {
  IdUDPServer2 = 0,  // 10000: family-2 search, family-2 settings
  IdUDPServer1 = 1,  // 10001: "IMAGIAQUERY,0", "SQ610", family-8 settings from the wizard
  IdUDPServer3 = 2,  // 10002: "uicam query"
  IdUDPServer4 = 3,  // 7999:  family-5 search and setip
  IdUDPServer5 = 4,  // 6800:  family-8 search, follow-ups, settings from the advanced window
  // Not one of the five: the family-9 search has its own socket on local port 3565 and its own
  // receive loop (see cgi_search.h). Used only as the sender of that round step.
  Family9Search = 5,
};

inline constexpr std::size_t kDiscoverySocketCount = 5;

struct DiscoverySocketInfo {
  DiscoverySocket socket;
  const char* name;
  uint16_t preferredPort;
};
// The five sockets in bind order: IdUDPServer2 10000, IdUDPServer1 10001, IdUDPServer3 10002,
// IdUDPServer4 7999, IdUDPServer5 6800.
std::span<const DiscoverySocketInfo, kDiscoverySocketCount> DiscoverySocketsInBindOrder();

// Destination ports of the requests.
inline constexpr uint16_t kFamily2Port = 10000;
inline constexpr uint16_t kImagiaQueryPort = 10000;
inline constexpr uint16_t kUicamQueryPort = 10139;
inline constexpr uint16_t kSq610Port = 4000;
inline constexpr uint16_t kFamily5Port = 7999;
inline constexpr uint16_t kFamily8Port = 6801;
inline constexpr uint16_t kFamily9Port = 8600;        // the search request goes to this port
inline constexpr uint16_t kFamily9LocalPort = 3565;   // the family-9 search socket binds here

// Receive buffer of the discovery sockets; a longer datagram is discarded.
inline constexpr std::size_t kDiscoveryDatagramMax = 1024;

// One datagram to broadcast: from which socket, to which port, which bytes.
struct OutDatagram {
  DiscoverySocket from = DiscoverySocket::IdUDPServer1;
  uint16_t port = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const OutDatagram&) const = default;
};

// Requests (byte-exact).
std::vector<uint8_t> BuildFamily2Search();   // 27 bytes "MO_I", opcode 0, body 00 00 00 01
std::vector<uint8_t> BuildImagiaQuery();     // "IMAGIAQUERY,0", 13 bytes, no NUL
std::vector<uint8_t> BuildUicamQuery();      // "uicam query", 11 bytes, no NUL
std::vector<uint8_t> BuildSq610Search();     // 256 bytes
std::vector<uint8_t> BuildFamily5Search();   // "SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n", no NUL
std::vector<uint8_t> BuildFamily8Search();   // 10 10 01 0F 00 00 00 00

// The datagrams of one search round, in sending order:
//   1. "IMAGIAQUERY,0" (IdUDPServer1 -> 10000), only when round % 3 == 0;
//   2. family-9 search (from = Family9Search -> 8600): the engine runs its own family-9 search;
//   3. "SQ610" (IdUDPServer1 -> 4000);
//   4. family-2 search (IdUDPServer2 -> 10000);
//   5. "uicam query" (IdUDPServer3 -> 10139);
//   6. family-5 search (IdUDPServer4 -> 7999);
//   7. family-8 search (IdUDPServer5 -> 6801).
// The closed-SDK search (only on Find) is not a datagram and is not listed.
std::vector<OutDatagram> BuildSearchRound(int round);

// What a received datagram turned out to be.
enum class DatagramKind : uint8_t {
  Unknown,            // none of the known beginnings: ignored
  Family2Reply,       // "MO_I" opcode 1 accepted
  Family2Rejected,    // "MO_I" but not an acceptable search reply (own search echo included)
  Family5Reply,       // "REPLY..."
  Family8SearchAnswer,// 01 8F: answered with an information request, no record
  Family8InfoReply,   // 12 8F: record, answered with a DDNS request
  Family8DdnsReply,   // 0F 8F: DDNS fields merged into the listed record (if listed)
  Family8Other,       // 0x10 0x10 with any other command (own requests echoed): ignored
  Malformed,          // a known beginning but too short / too long to read
  AddressRejected,    // a family-5 or family-8 record whose address is not dotted-quad IPv4
};

struct ParseResult {
  // The classifier's verdict: true when the datagram was a reply that the session merges
  // (MergeDevice, then UpdateDevCount). A DDNS reply for an unlisted camera is accepted with
  // an unfilled record (DevType -1), which MergeDevice ignores.
  bool accepted = false;
  DatagramKind kind = DatagramKind::Unknown;
  TDevInfo rec;                        // DevType -1 unless a record was parsed
  std::vector<OutDatagram> followUps;  // datagrams to broadcast now (family-8 exchange)
};

// Looks a listed record up by its MAC text (the device list's FindDevByMAC); may be empty.
using FindDevByMacFn = std::function<const TDevInfo*(const std::string& mac)>;

// The reply classifier. Decides by the first bytes, in this order: "MO_I" (family 2),
// "REPLY" (family 5), more than 2 bytes starting 0x10 0x10 (family 8), else ignored. Which
// socket received the datagram and who sent it play no part. Never reads beyond data; a
// datagram longer than kDiscoveryDatagramMax is discarded (kind Malformed). A family-2 reply
// shorter than its announced body, or a family-8 reply shorter than the fields read from it,
// is rejected (Malformed). A family-2 or family-5 reply without an identity (empty MAC text)
// is not accepted either: every such camera would share one list entry. A family-5 reply or
// family-8 information reply whose address text is not a dotted-quad IPv4 address (a name,
// "x@host/", "1.2.3.4:80" ...) is not accepted (AddressRejected, no follow-up): its camera is
// never listed, so no request is ever built from that text. Mask, gateway and DNS texts that
// are not addresses are emptied (KeepReportedAddresses).
ParseResult ParseDatagram(std::span<const uint8_t> data, const FindDevByMacFn& findDevByMac = {});

// The family parsers behind ParseDatagram, for tests and tools. Each expects the datagram to
// start with its family's marker.
ParseResult ParseFamily2Reply(std::span<const uint8_t> data);
ParseResult ParseFamily5Reply(std::span<const uint8_t> data);
ParseResult ParseFamily8(std::span<const uint8_t> data, const FindDevByMacFn& findDevByMac);

}  // namespace kestrova
