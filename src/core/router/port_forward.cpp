#include "core/router/port_forward.h"

#include <pugixml.hpp>

#include "core/discovery/ip_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace kestrova::router {

namespace {

constexpr std::string_view kTcpUdp = "TCP+UDP";

bool Visible(const TForwardRow& r) { return r.isUpdate < 3; }

// A decimal integer, the whole text (a sign allowed); false for anything else.
bool ParseInt(std::string_view s, long& out) {
  if (s.empty()) return false;
  const char* b = s.data();
  const char* e = b + s.size();
  if (*b == '+') ++b;
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p == e;
}

// A number field of an entry: empty reads as 0, anything else must be a number.
bool ParseField(std::string_view s, long& out) {
  if (s.empty()) {
    out = 0;
    return true;
  }
  return ParseInt(s, out);
}

std::string WithoutBlanks(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
  return out;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Child(const pugi::xml_node& n, const char* name) { return n.child(name).text().get(); }

// Root element and its Count of a plug-in document; false when either is missing or bad.
bool ReadHeader(const pugi::xml_document& doc, pugi::xml_node& root, long& count, long& maxCount) {
  root = doc.document_element();
  if (!root) return false;
  const pugi::xml_attribute c = root.attribute("Count"), m = root.attribute("MaxCount");
  if (!c || !m || !ParseInt(c.value(), count) || !ParseInt(m.value(), maxCount)) return false;
  return count >= 0 && maxCount >= INT32_MIN && maxCount <= INT32_MAX;
}

// The bytes go through unconverted (GB2312 values stay as they are).
bool Load(pugi::xml_document& doc, std::string_view text) {
  return static_cast<bool>(doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8));
}

std::string Key(const pugi::xml_node& n) {
  return Upper(WithoutBlanks(Child(n, "IP") + "/" + Child(n, "PubPort") + "/" + Child(n, "PriPort") + "/" +
                             Child(n, "Protocol") + "/" + Child(n, "Status")));
}

// The optional public address of an answer's root, validated.
std::string WanAddressOf(const pugi::xml_node& root) {
  const std::string v = root.attribute("WanAddress").value();
  return IsIPv4Text(v) ? v : std::string();
}

bool Skipped(const pugi::xml_node& n) {
  const std::string u = Child(n, "isUpdate");
  return u == "3" || u == "4";
}

}  // namespace

std::string PluginStatusMessage(int status) {
  switch (status) {
    case 0: return "";
    case 1: return "IDS_INVALID_USER";
    case 2: return "IDS_SELECT_ROUTER";
    case 3: return "IDS_GETDATA_ERROR";
    case 4: return "IDS_DATA_ERROR";
    case 6: return "IDS_PROGRAM_ERROR";
    case 7: return "IDS_PARAMETER_ERROR";
    default: return "IDS_GETROUTER_ERROR";
  }
}

bool IsCarrierGradeNat(std::string_view ipv4) {
  if (!IsIPv4Text(ipv4)) return false;
  const size_t dot = ipv4.find('.');
  const size_t dot2 = ipv4.find('.', dot + 1);
  long a = 0, b = 0;
  if (!ParseInt(ipv4.substr(0, dot), a) || !ParseInt(ipv4.substr(dot + 1, dot2 - dot - 1), b)) return false;
  return a == 100 && b >= 64 && b <= 127;
}

std::string AnswerText(const char* buffer, std::size_t size) {
  if (!buffer) return {};
  const void* nul = std::memchr(buffer, 0, size);
  return std::string(buffer, nul ? static_cast<const char*>(nul) - buffer : size);
}

void TPortForwardTables::AppendRouter(TForwardRow row) {
  row.ID = nextRouterId_++;
  router.push_back(std::move(row));
}

TPortForwardTables::AddResult TPortForwardTables::AddMapping(const std::string& address, const std::string& port,
                                                             const std::string& protocol) {
  long p = 0;
  if (!ParseInt(port, p) || p < 1 || p > 65535) return AddResult::Ignored;
  for (int pass = 0; pass < 2; ++pass) {
    for (auto it = router.begin(); it != router.end(); ++it) {
      if (!Visible(*it) || (pass == 0 ? it->PPort : it->PrPort) != p) continue;
      if (it->IP != address) return AddResult::Exists;
      if (it->Protocol != protocol && it->Protocol != kTcpUdp) return AddResult::Ignored;
      if (it->Status == kStatusInvalid) router.erase(it);
      break;
    }
  }
  TForwardRow r;
  r.ID = nextNeedId_++;
  r.name = r.IP = address;
  r.PPort = r.PrPort = r.PPort2 = r.PrPort2 = p;
  r.Protocol = protocol;
  r.Status = std::string(kStatusValid);
  r.isUpdate = 1;
  need.push_back(std::move(r));
  return AddResult::Added;
}

bool TPortForwardTables::ParseRouterTable(std::string_view answer) {
  router.clear();
  pugi::xml_document doc;
  if (!Load(doc, answer)) return false;
  pugi::xml_node root;
  long count = 0, maxCount = 0;
  if (!ReadHeader(doc, root, count, maxCount)) return false;
  MaxCount = static_cast<int>(maxCount);
  WanAddress = WanAddressOf(root);
  pugi::xml_node n = root.first_child();
  for (long i = 0; i < count; ++i, n = n.next_sibling()) {
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    if (!n) {
      router.clear();
      return false;
    }
    TForwardRow r;
    r.name = Child(n, "Name");
    r.IP = WithoutBlanks(Child(n, "IP"));
    const std::string pub2 = Child(n, "PubPort2"), pri2 = Child(n, "PriPort2");
    long u = 0;
    if (!ParseField(Child(n, "PubPort"), r.PPort) || !ParseField(Child(n, "PriPort"), r.PrPort) ||
        !ParseField(Child(n, "isUpdate"), u) || u < INT32_MIN || u > INT32_MAX) {
      router.clear();
      return false;
    }
    HasSecondPorts = !pub2.empty();
    if (HasSecondPorts && (!ParseField(pub2, r.PPort2) || !ParseField(pri2, r.PrPort2))) {
      router.clear();
      return false;
    }
    r.Protocol = Child(n, "Protocol");
    r.OrderId = Child(n, "OrderId");
    r.Status = Child(n, "Status");
    r.isUpdate = static_cast<int>(u);
    AppendRouter(std::move(r));
  }
  return true;
}

TForwardRow* TPortForwardTables::FindRouterFor(const TForwardRow& nd) {
  for (auto& r : router)
    if (Visible(r) && r.PPort == nd.PPort && r.Protocol == nd.Protocol) return &r;
  for (auto& r : router)
    if (Visible(r) && r.PPort == nd.PPort && r.Protocol == kTcpUdp) return &r;
  return nullptr;
}

bool TPortForwardTables::FindConflicts() {
  bool conflict = false;
  for (auto& nd : need) {
    if (!Visible(nd)) continue;
    const TForwardRow* r = FindRouterFor(nd);
    if (!r) continue;
    if (r->IP != nd.IP) {
      nd.isUse = true;
      conflict = true;
    } else {
      nd.isUpdate = 0;
    }
  }
  return conflict;
}

void TPortForwardTables::OverrideConflicts() {
  for (auto& nd : need) {
    if (!Visible(nd) || !nd.isUse) continue;
    TForwardRow* r = FindRouterFor(nd);
    if (r && r->IP != nd.IP) r->isUpdate = 3;
    nd.isUse = false;
  }
}

void TPortForwardTables::MergeNeeded() {
  for (const auto& nd : need) {
    if (!Visible(nd) || nd.isUse || nd.isUpdate == 0) continue;
    TForwardRow r;
    r.IP = nd.IP;
    r.PPort = nd.PPort;
    r.PrPort = nd.PrPort;
    r.Protocol = nd.Protocol;
    if (HasSecondPorts) {
      r.PPort2 = nd.PPort2;
      r.PrPort2 = nd.PrPort2;
    }
    r.Status = std::string(kStatusValid);
    r.isUpdate = nd.isUpdate;
    r.name = nd.IP + ":" + std::to_string(nd.PPort);
    AppendRouter(std::move(r));
  }
}

std::string TPortForwardTables::BuildRequestXml() const {
  const auto rows = VisibleRouterRows();
  if (rows.empty()) return {};
  // Built by hand rather than through a DOM: the values are GB2312 bytes that must go out as
  // they are, and the declaration names that encoding.
  auto esc = [](std::string_view v) {
    std::string o;
    for (char c : v) {
      switch (c) {
        case '&': o += "&amp;"; break;
        case '<': o += "&lt;"; break;
        case '>': o += "&gt;"; break;
        case '"': o += "&quot;"; break;
        default: o += c;
      }
    }
    return o;
  };
  auto el = [&](std::string& o, const char* name, std::string_view v) {
    o += "<"; o += name; o += ">"; o += esc(v); o += "</"; o += name; o += ">";
  };
  std::string o = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<PortForwards Count=\"" +
                  std::to_string(rows.size()) + "\" MaxCount=\"" + std::to_string(MaxCount) + "\">\r\n";
  for (const TForwardRow* r : rows) {
    o += "  <PortForward>";
    el(o, "Name", r->name);
    el(o, "IP", r->IP);
    el(o, "PubPort", std::to_string(r->PPort));
    el(o, "PriPort", std::to_string(r->PrPort));
    if (HasSecondPorts) {
      el(o, "PubPort2", std::to_string(r->PPort2));
      el(o, "PriPort2", std::to_string(r->PrPort2));
    }
    el(o, "Protocol", r->Protocol);
    el(o, "Status", r->Status);
    el(o, "OrderId", r->OrderId);
    el(o, "isUpdate", std::to_string(r->isUpdate));
    o += "</PortForward>\r\n";
  }
  o += "</PortForwards>\r\n";
  return o;
}

bool TPortForwardTables::VerifyReply(std::string_view request, std::string_view answer) {
  pugi::xml_document req, ans;
  if (!Load(req, request) || !Load(ans, answer)) return false;
  pugi::xml_node rroot, aroot;
  long rc = 0, rm = 0, ac = 0, am = 0;
  if (!ReadHeader(req, rroot, rc, rm) || !ReadHeader(ans, aroot, ac, am)) return false;
  std::vector<std::string> keys;
  pugi::xml_node n = rroot.first_child();
  for (long i = 0; i < rc; ++i, n = n.next_sibling()) {
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    if (!n) return false;
    if (!Skipped(n)) keys.push_back(Key(n));
  }
  MaxCount = static_cast<int>(am);
  if (std::string wan = WanAddressOf(aroot); !wan.empty()) WanAddress = std::move(wan);
  bool matched = false;
  n = aroot.first_child();
  for (long i = 0; i < ac; ++i, n = n.next_sibling()) {
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    if (!n) return false;
    if (Skipped(n)) continue;
    auto it = std::find(keys.begin(), keys.end(), Key(n));
    if (it == keys.end()) break;
    keys.erase(it);
    matched = true;
  }
  return matched && keys.empty();
}

std::vector<const TForwardRow*> TPortForwardTables::VisibleRouterRows() const {
  std::vector<const TForwardRow*> v;
  for (const auto& r : router)
    if (Visible(r)) v.push_back(&r);
  return v;
}

std::vector<const TForwardRow*> TPortForwardTables::VisibleNeedRows() const {
  std::vector<const TForwardRow*> v;
  for (const auto& r : need)
    if (Visible(r)) v.push_back(&r);
  return v;
}

std::string RunPortMapping(TPortForwardTables& t, const TPortMapInput& in, const PluginCall& call,
                           const ConflictQuestion& ask) {
  if (!in.routerSelected) return "IDS_SELECTROUTER_ERROR";
  if (in.user.empty()) return "IDS_NOUSER";
  if (!in.pluginFileExists) return "IDS_DLL_NOTFOUND";
  if (t.VisibleNeedRows().empty()) return "IDS_SELECTPORT_ERROR";
  // Every run starts from the needed rows as the caller added them.
  for (auto& nd : t.need) {
    if (nd.isUpdate == 0) nd.isUpdate = 1;
    nd.isUse = false;
  }
  std::string answer;
  int code = call("GetPortForward", answer);
  if (code != 0) return PluginStatusMessage(code);
  if (!t.ParseRouterTable(answer)) return "IDS_GETROUTER_ERROR";
  if (t.FindConflicts()) {
    if (!ask || !ask()) return "IDS_PORT_USING";
    t.OverrideConflicts();
  }
  t.MergeNeeded();
  std::string request = t.BuildRequestXml();
  if (request.empty() || request.size() >= kPluginBufferSize) return "IDS_CREATEXML_ERROR";
  std::string text = request;
  code = call("SetPortForward", text);
  if (code != 0) return PluginStatusMessage(code);
  return t.VerifyReply(request, text) ? "IDS_PORTFORWARD_OK" : "IDS_PORTFORWART_ERR";
}

}  // namespace kestrova::router
