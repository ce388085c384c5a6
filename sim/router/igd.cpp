#include "igd.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include <pugixml.hpp>

namespace kestrova::sim::igd {

namespace {

std::string_view LocalName(std::string_view n) {
  const size_t c = n.find(':');
  return c == std::string_view::npos ? n : n.substr(c + 1);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Escape(std::string_view v) {
  std::string o;
  for (char c : v) {
    if (c == '&') o += "&amp;";
    else if (c == '<') o += "&lt;";
    else if (c == '>') o += "&gt;";
    else if (c == '"') o += "&quot;";
    else o += c;
  }
  return o;
}

// A decimal number within [lo, hi], nothing else.
bool Number(const std::string& s, long lo, long hi, long& out) {
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::stol(s);
  return out >= lo && out <= hi;
}

bool IsIPv4(const std::string& s) {
  in_addr a{};
  return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

const char* ErrorText(int code) {
  switch (code) {
    case 401: return "Invalid Action";
    case 402: return "Invalid Args";
    case 501: return "Action Failed";
    case 713: return "SpecifiedArrayIndexInvalid";
    case 714: return "NoSuchEntryInArray";
    case 716: return "WildCardNotPermittedInExtPort";
    case 718: return "ConflictInMappingEntry";
    case 725: return "OnlyPermanentLeasesSupported";
    case 726: return "RemoteHostOnlySupportsWildcard";
    default: return "Error";
  }
}

const char* kEnvelopeOpen =
    "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>";
const char* kEnvelopeClose = "</s:Body></s:Envelope>\r\n";

Reply Fault(int code, const std::string& what) {
  Reply r;
  r.http = 500;
  r.body = std::string(kEnvelopeOpen) +
           "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
           "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
           std::to_string(code) + "</errorCode><errorDescription>" + ErrorText(code) +
           "</errorDescription></UPnPError></detail></s:Fault>" + kEnvelopeClose;
  r.log = what + " -> " + std::to_string(code);
  return r;
}

Reply Ok(const std::string& action, const std::vector<std::pair<std::string, std::string>>& out,
         const std::string& what) {
  Reply r;
  r.body = std::string(kEnvelopeOpen) + "<u:" + action + "Response xmlns:u=\"" + std::string(kServiceType) + "\">";
  for (const auto& [k, v] : out) r.body += "<" + k + ">" + Escape(v) + "</" + k + ">";
  r.body += "</u:" + action + "Response>" + kEnvelopeClose;
  r.log = what + " -> 200";
  return r;
}

}  // namespace

std::optional<SoapRequest> ReadSoapRequest(std::string_view soapAction, std::string_view body, int& error) {
  error = 402;
  if (body.size() > kMaxSoapBody) return std::nullopt;
  // SOAPAction: "urn:schemas-upnp-org:service:WANIPConnection:1#AddPortMapping" (quotes optional)
  std::string_view header = Trim(soapAction);
  if (header.size() >= 2 && header.front() == '"' && header.back() == '"') header = header.substr(1, header.size() - 2);
  const size_t hash = header.find('#');
  error = 401;
  if (hash == std::string_view::npos || header.substr(0, hash) != kServiceType) return std::nullopt;
  const std::string_view headerAction = header.substr(hash + 1);

  error = 402;
  pugi::xml_document doc;
  if (!doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8)) return std::nullopt;
  const pugi::xml_node envelope = doc.document_element();
  if (LocalName(envelope.name()) != "Envelope") return std::nullopt;
  pugi::xml_node bodyNode;
  for (pugi::xml_node n = envelope.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element && LocalName(n.name()) == "Body") {
      bodyNode = n;
      break;
    }
  pugi::xml_node act;
  for (pugi::xml_node n = bodyNode.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) {
      act = n;
      break;
    }
  if (!act) return std::nullopt;
  SoapRequest req;
  req.action = std::string(LocalName(act.name()));
  // The action's namespace (its prefix's xmlns, or the default one) must be the service's.
  const std::string_view qname = act.name();
  const size_t colon = qname.find(':');
  const std::string xmlns = colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(qname.substr(0, colon));
  error = 401;
  if (req.action != headerAction || act.attribute(xmlns.c_str()).value() != kServiceType) return std::nullopt;
  error = 402;
  for (pugi::xml_node a = act.first_child(); a; a = a.next_sibling()) {
    if (a.type() != pugi::node_element) continue;
    std::string value = a.child_value();
    if (req.args.size() >= kMaxArgs || value.size() > kMaxArgValue) return std::nullopt;
    if (!req.args.emplace(std::string(LocalName(a.name())), std::move(value)).second) return std::nullopt;
  }
  return req;
}

Reply Device::Control(std::string_view soapAction, std::string_view body) {
  int error = 0;
  const auto req = ReadSoapRequest(soapAction, body, error);
  if (!req) return Fault(error, "unreadable request");
  return Act(*req);
}

Reply Device::Act(const SoapRequest& r) {
  auto arg = [&](const char* name) -> const std::string* {
    const auto it = r.args.find(name);
    return it == r.args.end() ? nullptr : &it->second;
  };
  const std::string& a = r.action;
  if (a == "GetExternalIPAddress") return Ok(a, {{"NewExternalIPAddress", wan_}}, a);
  if (a == "GetStatusInfo")
    return Ok(a, {{"NewConnectionStatus", "Connected"}, {"NewLastConnectionError", "ERROR_NONE"}, {"NewUptime", "1"}}, a);
  if (a == "GetConnectionTypeInfo")
    return Ok(a, {{"NewConnectionType", "IP_Routed"}, {"NewPossibleConnectionTypes", "IP_Routed"}}, a);

  if (a == "GetGenericPortMappingEntry") {
    const std::string* index = arg("NewPortMappingIndex");
    long i = 0;
    if (!index || !Number(*index, 0, 65535, i)) return Fault(402, a);
    const std::string what = a + " " + *index;
    if (static_cast<size_t>(i) >= table_.size()) return Fault(713, what);
    const Mapping& m = table_[static_cast<size_t>(i)];
    return Ok(a,
              {{"NewRemoteHost", ""},
               {"NewExternalPort", std::to_string(m.ext)},
               {"NewProtocol", m.protocol},
               {"NewInternalPort", std::to_string(m.in)},
               {"NewInternalClient", m.client},
               {"NewEnabled", m.enabled ? "1" : "0"},
               {"NewPortMappingDescription", m.desc},
               {"NewLeaseDuration", "0"}},
              what);
  }

  // The (remote host, external port, protocol) key of the three entry actions.
  const std::string* remote = arg("NewRemoteHost");
  const std::string* extText = arg("NewExternalPort");
  const std::string* proto = arg("NewProtocol");
  const bool keyed = a == "GetSpecificPortMappingEntry" || a == "AddPortMapping" || a == "DeletePortMapping";
  if (!keyed) return Fault(401, a);
  long ext = 0;
  if (!remote || !extText || !proto || !Number(*extText, 0, 65535, ext) || (*proto != "TCP" && *proto != "UDP"))
    return Fault(402, a);
  std::string what = a + " " + *extText + " " + *proto;
  if (!remote->empty()) return Fault(726, what);
  if (ext == 0) return Fault(716, what);
  auto found = std::find_if(table_.begin(), table_.end(),
                            [&](const Mapping& m) { return m.ext == ext && m.protocol == *proto; });

  if (a == "GetSpecificPortMappingEntry") {
    if (found == table_.end()) return Fault(714, what);
    return Ok(a,
              {{"NewInternalPort", std::to_string(found->in)},
               {"NewInternalClient", found->client},
               {"NewEnabled", found->enabled ? "1" : "0"},
               {"NewPortMappingDescription", found->desc},
               {"NewLeaseDuration", "0"}},
              what);
  }
  if (a == "DeletePortMapping") {
    if (found == table_.end()) return Fault(714, what);
    table_.erase(found);
    Reply rep = Ok(a, {}, what);
    rep.changed = true;
    return rep;
  }
  // AddPortMapping
  const std::string* inText = arg("NewInternalPort");
  const std::string* client = arg("NewInternalClient");
  const std::string* enabled = arg("NewEnabled");
  const std::string* desc = arg("NewPortMappingDescription");
  const std::string* lease = arg("NewLeaseDuration");
  long in = 0, leaseValue = 0;
  if (!inText || !client || !enabled || !desc || !lease || !Number(*inText, 1, 65535, in) || !IsIPv4(*client) ||
      *client == "0.0.0.0" || (*enabled != "0" && *enabled != "1") || !Number(*lease, 0, 604800, leaseValue))
    return Fault(402, what);
  what += " " + *client + ":" + *inText;
  if (leaseValue != 0) return Fault(725, what);
  // The same mapping again for the same device replaces it; another device's is a conflict.
  if (found != table_.end() && found->client != *client) return Fault(718, what);
  Mapping m{static_cast<uint16_t>(ext), *proto, static_cast<uint16_t>(in), *client, *enabled == "1", *desc};
  if (found != table_.end()) {
    *found = std::move(m);
  } else {
    if (table_.size() >= max_) return Fault(501, what + " (table full)");
    table_.push_back(std::move(m));
  }
  Reply rep = Ok(a, {}, what);
  rep.changed = true;
  return rep;
}

std::string Description(const std::string& baseUrl, const std::string& uuid) {
  auto service = [](const char* type, const char* id, const char* path) {
    return std::string("<service><serviceType>") + type + "</serviceType><serviceId>" + id + "</serviceId><SCPDURL>/" +
           path + ".xml</SCPDURL><controlURL>/ctl/" + path + "</controlURL><eventSubURL>/evt/" + path +
           "</eventSubURL></service>";
  };
  auto device = [&](const char* type, const char* name, const std::string& suffix, const std::string& inner) {
    return std::string("<device><deviceType>") + type + "</deviceType><friendlyName>" + name +
           "</friendlyName><manufacturer>Kestrova test bench</manufacturer><modelName>kestrova-igdsim</modelName>"
           "<UDN>uuid:" + uuid + suffix + "</UDN>" + inner + "</device>";
  };
  const std::string conn =
      device("urn:schemas-upnp-org:device:WANConnectionDevice:1", "WAN connection", "-2",
             "<serviceList>" +
                 service(std::string(kServiceType).c_str(), "urn:upnp-org:serviceId:WANIPConn1", "IPConn") +
                 "</serviceList>");
  const std::string wan = device(
      "urn:schemas-upnp-org:device:WANDevice:1", "WAN device", "-1",
      "<serviceList>" +
          service("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1", "urn:upnp-org:serviceId:WANCommonIFC1",
                  "CmnIfCfg") +
          "</serviceList><deviceList>" + conn + "</deviceList>");
  return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
         "<minor>0</minor></specVersion><URLBase>" +
         Escape(baseUrl) + "</URLBase>" +
         device(std::string(kDeviceType).c_str(), "Simulated gateway", "", "<deviceList>" + wan + "</deviceList>") +
         "</root>\r\n";
}

std::optional<std::string> SsdpAnswer(std::string_view d, const std::string& location, const std::string& uuid) {
  if (d.size() > kMaxSsdp) return std::nullopt;
  size_t eol = d.find("\r\n");
  if (eol == std::string_view::npos || d.substr(0, eol) != "M-SEARCH * HTTP/1.1") return std::nullopt;
  std::string_view st, man;
  size_t headers = 0;
  for (size_t pos = eol + 2; pos < d.size() && headers < 32; ++headers) {
    eol = d.find("\r\n", pos);
    const std::string_view line = d.substr(pos, eol == std::string_view::npos ? d.size() - pos : eol - pos);
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      const std::string_view name = Trim(line.substr(0, colon)), value = Trim(line.substr(colon + 1));
      if (EqualNoCase(name, "ST")) st = value;
      else if (EqualNoCase(name, "MAN")) man = value;
    }
    if (eol == std::string_view::npos) break;
    pos = eol + 2;
  }
  if (man != "\"ssdp:discover\"") return std::nullopt;
  const std::string types[] = {"upnp:rootdevice",
                               std::string(kDeviceType),
                               "urn:schemas-upnp-org:device:WANDevice:1",
                               "urn:schemas-upnp-org:device:WANConnectionDevice:1",
                               std::string(kServiceType),
                               "uuid:" + uuid};
  std::string answerSt;
  if (st == "ssdp:all") answerSt = std::string(kDeviceType);
  for (const std::string& t : types)
    if (st == t) answerSt = t;
  if (answerSt.empty()) return std::nullopt;
  const std::string usn = answerSt.rfind("uuid:", 0) == 0 ? answerSt : "uuid:" + uuid + "::" + answerSt;
  return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: " + answerSt + "\r\nUSN: " + usn +
         "\r\nEXT:\r\nSERVER: Linux UPnP/1.0 kestrova-igdsim/1.0\r\nLOCATION: " + location + "\r\n\r\n";
}

std::optional<std::string> NatPmpAnswer(std::string_view d, uint32_t wanNet, uint32_t seconds) {
  if (d.size() < 2 || d.size() > 1100) return std::nullopt;
  const auto version = static_cast<uint8_t>(d[0]), op = static_cast<uint8_t>(d[1]);
  if (op >= 128) return std::nullopt;  // an answer, not a request
  auto be16 = [](std::string& s, uint16_t v) {
    s += static_cast<char>(v >> 8);
    s += static_cast<char>(v & 0xFF);
  };
  auto be32 = [&](std::string& s, uint32_t v) {
    be16(s, static_cast<uint16_t>(v >> 16));
    be16(s, static_cast<uint16_t>(v & 0xFFFF));
  };
  std::string a;
  a += '\0';
  a += static_cast<char>(128 + op);
  if (version != 0) {
    be16(a, 1);  // unsupported version
    be32(a, seconds);
    return a;
  }
  if (op == 0) {
    be16(a, 0);
    be32(a, seconds);
    a.append(reinterpret_cast<const char*>(&wanNet), 4);  // already in network order
    return a;
  }
  if (op == 1 || op == 2) {
    if (d.size() < 12) return std::nullopt;
    be16(a, 2);  // not authorised: this router maps ports over UPnP only
    be32(a, seconds);
    a.append(d.substr(4, 4));  // the internal and the asked-for external port
    be32(a, 0);
    return a;
  }
  be16(a, 5);  // unsupported opcode
  be32(a, seconds);
  return a;
}

}  // namespace kestrova::sim::igd
