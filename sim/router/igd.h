// The Internet gateway device of kestrova-igdsim, as the router sees what reaches it: the
// SSDP search on the LAN, the SOAP control of its WANIPConnection:1 service over the port
// mapping table it keeps, and the NAT-PMP public-address request. No sockets here: each reader
// takes the bytes received and gives the bytes to send back, so that all of them can be fuzzed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::sim::igd {

inline constexpr std::string_view kDeviceType = "urn:schemas-upnp-org:device:InternetGatewayDevice:1";
inline constexpr std::string_view kServiceType = "urn:schemas-upnp-org:service:WANIPConnection:1";
inline constexpr size_t kMaxSoapBody = 16384;  // a control request is a few hundred bytes
inline constexpr size_t kMaxArgs = 16;
inline constexpr size_t kMaxArgValue = 512;
inline constexpr size_t kMaxSsdp = 2048;

// A control request read from the SOAPAction header and the envelope.
struct SoapRequest {
  std::string action;                      // e.g. "AddPortMapping"
  std::map<std::string, std::string> args;  // by element name, without prefix
};

// The request, or nothing when the router answers 401 Invalid Action / 402 Invalid Args
// (`error` says which): a body too long or not an envelope, a SOAPAction header that names
// another service or another action than the body, too many or duplicate arguments, or an
// argument value that is too long.
std::optional<SoapRequest> ReadSoapRequest(std::string_view soapAction, std::string_view body, int& error);

struct Mapping {
  uint16_t ext = 0;
  std::string protocol;  // "TCP" or "UDP"
  uint16_t in = 0;
  std::string client;
  bool enabled = true;
  std::string desc;
};

struct Reply {
  int http = 200;
  std::string body;
  bool changed = false;  // the table was changed
  std::string log;       // one line for the router's log
};

class Device {
 public:
  Device(std::string wanAddress, size_t maxEntries) : wan_(std::move(wanAddress)), max_(maxEntries) {}
  // Answers a control request (the headers' SOAPAction and the body as received).
  Reply Control(std::string_view soapAction, std::string_view body);
  const std::vector<Mapping>& Table() const { return table_; }
  void Add(Mapping m) { table_.push_back(std::move(m)); }

 private:
  Reply Act(const SoapRequest& r);
  std::string wan_;
  size_t max_;
  std::vector<Mapping> table_;
};

// The device description served at /rootDesc.xml, its control URL under baseUrl.
std::string Description(const std::string& baseUrl, const std::string& uuid);

// The unicast answer to an M-SEARCH datagram for the gateway (its root device, its device and
// service types, ssdp:all, or its uuid), or nothing for anything else.
std::optional<std::string> SsdpAnswer(std::string_view datagram, const std::string& location, const std::string& uuid);

// The answer to a NAT-PMP request (version 0): the public address for opcode 0; a mapping
// request is refused (result 2: the router maps no ports over NAT-PMP); an unsupported version
// gets result 1, an unknown opcode result 5. Nothing for a datagram too short to be a request
// or one that is itself an answer.
std::optional<std::string> NatPmpAnswer(std::string_view datagram, uint32_t wanAddressNetOrder, uint32_t secondsSinceStart);

}  // namespace kestrova::sim::igd
