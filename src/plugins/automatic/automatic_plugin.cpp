// automatic.so: the router plug-in for routers that let devices of the LAN ask for port
// forwardings themselves, through UPnP-IGD (WANIPConnection / WANPPPConnection).
//
// GetPortForward finds the Internet gateway device by SSDP, takes it only when its control
// address is the router address it was given (another device answering is not this router:
// status 2), and lists its port mappings as the table; a TCP and a UDP mapping of the same
// ports to the same device are one "TCP+UDP" entry. SetPortForward gets the whole table back:
// mappings the table no longer holds (the ones the user agreed to replace) are deleted, the
// table's new entries are added, and the answer is the router's table read afresh.
//
// The root element of every answer carries the router's public address as the attribute
// "WanAddress" when the router tells it (the program warns when it is a carrier-grade NAT
// address). A router without UPnP-IGD is asked for that address over NAT-PMP; NAT-PMP can only
// forward ports to the device that asks, never to a camera, so such a router gets status 2.
//
// Tests on the machine's own network give a loopback router address and the URL of the device
// description on it in KESTROVA_UPNP_DESCRIPTION; no search is ever sent for a loopback address.
//
// Status codes: 0 done, 2 no UPnP-IGD at the router address, 3 the router did not answer a
// read, 4 the router refused a change or the table does not fit, 7 bad parameters.
#include <arpa/inet.h>
#include <natpmp.h>
#include <sys/select.h>

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr size_t kBuffer = 102400;  // the host's buffer, NUL included
constexpr int kDiscoverMs = 2000;
constexpr int kMaxEntries = 1024;  // more than any router holds
const std::string kValid = "\xD3\xD0\xD0\xA7";  // GB2312, as the program's tables have it
const std::string kInvalid = "\xCE\xDE\xD0\xA7";

struct Mapping {
  std::string ext, client, in, protocol, desc;
  bool enabled = true;
};

// miniupnpc puts argument values into its SOAP requests as they are and hands back the values of
// the answers without decoding them: the plug-in escapes what it sends and decodes what it gets.
std::string SoapText(const std::string& v) {
  std::string o;
  for (unsigned char c : v) {
    if (c == '&') o += "&amp;";
    else if (c == '<') o += "&lt;";
    else if (c == '>') o += "&gt;";
    else if (c >= 0x20) o += static_cast<char>(c);
  }
  return o;
}

std::string Unescaped(const std::string& v) {
  static const std::pair<const char*, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string o;
  for (size_t i = 0; i < v.size();) {
    bool done = false;
    for (const auto& [name, c] : kNamed) {
      if (v.compare(i, std::strlen(name), name) == 0) {
        o += c;
        i += std::strlen(name);
        done = true;
        break;
      }
    }
    if (!done) o += v[i++];
  }
  return o;
}

// For tests on the machine's own network, where no search may be sent: a router address on
// loopback with KESTROVA_UPNP_DESCRIPTION naming the device description on that same address
// (http://127.x.x.x:port/...) takes the gateway from there. "" otherwise.
std::string LoopbackDescription(const std::string& routerAddress) {
  const char* url = std::getenv("KESTROVA_UPNP_DESCRIPTION");
  if (!url || routerAddress.rfind("127.", 0) != 0) return {};
  const std::string u = url;
  return u.rfind("http://" + routerAddress + ":", 0) == 0 ? u : std::string();
}

// The gateway device, found and checked against the router address.
class Gateway {
 public:
  ~Gateway() {
    if (haveUrls_) FreeUPNPUrls(&urls_);
    if (devs_) freeUPNPDevlist(devs_);
  }
  // 0 found, 2 none at that address.
  int Find(const std::string& routerAddress) {
    char lan[64] = {};
    int r = 0;
    if (const std::string url = LoopbackDescription(routerAddress); !url.empty()) {
      r = UPNP_GetIGDFromUrl(url.c_str(), &urls_, &data_, lan, sizeof lan);
      haveUrls_ = r != 0;
      if (r != 1) return 2;
    } else if (routerAddress.rfind("127.", 0) == 0) {
      return 2;  // no router on loopback, and no search sent from the machine's own network
    } else {
      int error = 0;
      devs_ = upnpDiscover(kDiscoverMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
      if (!devs_) return 2;
      r = UPNP_GetValidIGD(devs_, &urls_, &data_, lan, sizeof lan);
      haveUrls_ = r != 0;
      if (r != 1 && r != 2) return 2;
    }
    // The control address must be the router's own: http://ADDRESS:port/...
    const std::string control = urls_.controlURL ? urls_.controlURL : "";
    if (control.rfind("http://" + routerAddress + ":", 0) != 0 && control.rfind("http://" + routerAddress + "/", 0) != 0)
      return 2;
    return 0;
  }
  const char* Control() const { return urls_.controlURL; }
  const char* Service() const { return data_.first.servicetype; }

  std::string WanAddress() const {
    char ip[40] = {};
    if (UPNP_GetExternalIPAddress(Control(), Service(), ip) != UPNPCOMMAND_SUCCESS) return {};
    in_addr a{};
    return inet_pton(AF_INET, ip, &a) == 1 ? ip : "";
  }

  // false when the router did not answer the first read.
  bool List(std::vector<Mapping>& out) const {
    for (int i = 0; i < kMaxEntries; ++i) {
      char ext[6] = {}, client[16] = {}, in[6] = {}, proto[4] = {}, desc[80] = {}, enabled[6] = {}, rhost[64] = {},
           duration[16] = {};
      const std::string index = std::to_string(i);
      const int r = UPNP_GetGenericPortMappingEntry(Control(), Service(), index.c_str(), ext, client, in, proto, desc,
                                                    enabled, rhost, duration);
      // 713 SpecifiedArrayIndexInvalid: past the last entry. Any other failure is no table at
      // all: a shortened one would have the next write delete the mappings it missed.
      if (r != UPNPCOMMAND_SUCCESS) return r == 713;
      Mapping m{ext, client, in, proto, Unescaped(desc), std::strcmp(enabled, "0") != 0};
      out.push_back(std::move(m));
    }
    return true;
  }

 private:
  UPNPDev* devs_ = nullptr;
  UPNPUrls urls_{};
  IGDdatas data_{};
  bool haveUrls_ = false;
};

std::string Escape(const std::string& v) {
  std::string o;
  for (unsigned char c : v) {
    if (c == '&') o += "&amp;";
    else if (c == '<') o += "&lt;";
    else if (c == '>') o += "&gt;";
    else if (c >= 0x20) o += static_cast<char>(c);
  }
  return o;
}

struct Row {
  std::string name, ip, pub, pri, protocol, status;
};

// TCP and UDP mappings of the same ports to the same device as one TCP+UDP row.
std::vector<Row> Rows(const std::vector<Mapping>& maps) {
  std::vector<Row> rows;
  std::map<std::tuple<std::string, std::string, std::string>, size_t> seen;
  for (const Mapping& m : maps) {
    const auto key = std::make_tuple(m.ext, m.client, m.in);
    auto it = seen.find(key);
    if (it != seen.end() && rows[it->second].protocol != m.protocol) {
      rows[it->second].protocol = "TCP+UDP";
      continue;
    }
    seen[key] = rows.size();
    rows.push_back({m.desc, m.client, m.ext, m.in, m.protocol, m.enabled ? kValid : kInvalid});
  }
  return rows;
}

std::string TableXml(const std::vector<Row>& rows, const std::string& wan) {
  std::string x = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<PortForwards Count=\"" + std::to_string(rows.size()) +
                  "\" MaxCount=\"" + std::to_string(kMaxEntries) + "\"";
  if (!wan.empty()) x += " WanAddress=\"" + wan + "\"";
  x += ">\r\n";
  for (const Row& r : rows) {
    x += "<PortForward><Name>" + Escape(r.name) + "</Name><IP>" + r.ip + "</IP><PubPort>" + r.pub +
         "</PubPort><PriPort>" + r.pri + "</PriPort><Protocol>" + r.protocol + "</Protocol><Status>" + r.status +
         "</Status><OrderId>" + r.protocol + ":" + r.pub + "</OrderId><isUpdate>0</isUpdate></PortForward>\r\n";
  }
  return x + "</PortForwards>\r\n";
}

bool Answer(char** text, const std::string& s) {
  if (s.size() >= kBuffer) return false;
  std::memcpy(*text, s.data(), s.size());
  (*text)[s.size()] = 0;
  return true;
}

// The router's public address over NAT-PMP ("" when it does not answer within its retries).
std::string NatPmpWanAddress(const std::string& routerAddress) {
  in_addr gw{};
  if (inet_pton(AF_INET, routerAddress.c_str(), &gw) != 1) return {};
  natpmp_t n;
  if (initnatpmp(&n, 1, gw.s_addr) < 0) return {};
  std::string wan;
  if (sendpublicaddressrequest(&n) >= 0) {
    natpmpresp_t resp;
    for (int tries = 0; tries < 4; ++tries) {  // libnatpmp doubles its wait each time: ~4 s in all
      timeval tv{};
      if (getnatpmprequesttimeout(&n, &tv) < 0) break;
      fd_set fds;
      FD_ZERO(&fds);
      FD_SET(n.s, &fds);
      select(n.s + 1, &fds, nullptr, nullptr, &tv);
      const int r = readnatpmpresponseorretry(&n, &resp);
      if (r == NATPMP_TRYAGAIN) continue;
      if (r >= 0 && resp.type == NATPMP_RESPTYPE_PUBLICADDRESS) {
        char ip[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &resp.pnu.publicaddress.addr, ip, sizeof ip);
        wan = ip;
      }
      break;
    }
  }
  closenatpmp(&n);
  return wan;
}

bool ValidArgs(const char* address, const char* user, const char* password, char** text) {
  if (!address || !user || !password || !text || !*text) return false;
  in_addr a{};
  return inet_pton(AF_INET, address, &a) == 1;
}

bool IsPort(const std::string& s) {
  if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  const long v = std::stol(s);
  return v >= 1 && v <= 65535;
}

// An element's text without the blanks the program's tables may carry around values.
std::string Field(const pugi::xml_node& e, const char* name) {
  std::string v = e.child(name).text().get();
  std::erase_if(v, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  return v;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return s;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t GetPortForward(const char* address, const char* user,
                                                                const char* password, char** text) {
  if (!ValidArgs(address, user, password, text)) return 7;
  Gateway g;
  if (g.Find(address) != 0) {
    // The address a router without UPnP-IGD tells over NAT-PMP still shows whether mapping
    // could help at all; no mapping can be made for the camera through it.
    const std::string wan = NatPmpWanAddress(address);
    if (!wan.empty()) Answer(text, TableXml({}, wan));
    return 2;
  }
  std::vector<Mapping> maps;
  if (!g.List(maps)) return 3;
  return Answer(text, TableXml(Rows(maps), g.WanAddress())) ? 0 : 4;
}

__attribute__((visibility("default"))) int32_t SetPortForward(const char* address, const char* user,
                                                                const char* password, char** text) {
  if (!ValidArgs(address, user, password, text)) return 7;
  pugi::xml_document doc;
  const std::string request(*text, strnlen(*text, kBuffer));
  if (!doc.load_buffer(request.data(), request.size(), pugi::parse_default, pugi::encoding_utf8)) return 4;
  const pugi::xml_node root = doc.document_element();
  struct Want {
    std::string name, ip, pub, pri, protocol;
    bool isNew;
  };
  std::vector<Want> wanted;
  // (protocol, public port, device, private port) of every mapping the table holds: a mapping of
  // the same public port to another device (one the user agreed to replace) is not kept.
  std::set<std::tuple<std::string, std::string, std::string, std::string>> kept;
  for (const pugi::xml_node e : root.children()) {
    if (e.type() != pugi::node_element) continue;
    const std::string u = e.child("isUpdate").text().get();
    if (u == "3" || u == "4") continue;
    Want w{e.child("Name").text().get(), Field(e, "IP"), Field(e, "PubPort"), Field(e, "PriPort"),
           Upper(Field(e, "Protocol")), u == "1"};
    in_addr a{};
    if (inet_pton(AF_INET, w.ip.c_str(), &a) != 1 || !IsPort(w.pub) || !IsPort(w.pri) ||
        (w.protocol != "TCP" && w.protocol != "UDP" && w.protocol != "TCP+UDP"))
      return 4;
    // Compared with the router's own texts below: "081" is port 81.
    w.pub = std::to_string(std::stol(w.pub));
    w.pri = std::to_string(std::stol(w.pri));
    for (const char* p : {"TCP", "UDP"})
      if (w.protocol == p || w.protocol == "TCP+UDP") kept.insert({p, w.pub, w.ip, w.pri});
    wanted.push_back(std::move(w));
  }
  Gateway g;
  if (g.Find(address) != 0) return 2;
  std::vector<Mapping> now;
  if (!g.List(now)) return 3;
  // A change the router refuses part-way is undone, newest first, so that the router keeps the
  // table it had rather than half of the new one.
  std::vector<std::pair<bool, Mapping>> undo;  // (add it back, mapping) or (delete it, mapping)
  auto add = [&](const Mapping& m) {
    return UPNP_AddPortMapping(g.Control(), g.Service(), m.ext.c_str(), m.in.c_str(), m.client.c_str(),
                               SoapText(m.desc).c_str(), m.protocol.c_str(), nullptr, "0") == UPNPCOMMAND_SUCCESS;
  };
  auto remove = [&](const Mapping& m) {
    return UPNP_DeletePortMapping(g.Control(), g.Service(), m.ext.c_str(), m.protocol.c_str(), nullptr) ==
           UPNPCOMMAND_SUCCESS;
  };
  auto refused = [&] {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) it->first ? add(it->second) : remove(it->second);
    return 4;
  };
  // First the mappings the table dropped, so that their ports are free for the new ones.
  std::map<std::pair<std::string, std::string>, Mapping> left;  // (protocol, public port)
  for (const Mapping& m : now) {
    if (kept.count({m.protocol, m.ext, m.client, m.in})) {
      left[{m.protocol, m.ext}] = m;
      continue;
    }
    if (!remove(m)) return refused();
    undo.emplace_back(true, m);
  }
  for (const Want& w : wanted) {
    if (!w.isNew) continue;
    for (const char* p : {"TCP", "UDP"}) {
      if (w.protocol != p && w.protocol != "TCP+UDP") continue;
      const Mapping m{w.pub, w.ip, w.pri, p, w.name.empty() ? w.ip + ":" + w.pub : w.name};
      if (!add(m)) return refused();
      // Undone by taking it away again, or by putting back the one of the same device it replaced.
      const auto before = left.find({p, w.pub});
      if (before == left.end()) undo.emplace_back(false, m);
      else undo.emplace_back(true, before->second);
    }
  }
  std::vector<Mapping> after;
  if (!g.List(after)) return 3;
  return Answer(text, TableXml(Rows(after), g.WanAddress())) ? 0 : 4;
}

__attribute__((visibility("default"))) uint64_t FileVersion(void) { return 0x0001000000000000ull; }  // 1.0.0.0
}
