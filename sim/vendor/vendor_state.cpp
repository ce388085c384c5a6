#include "vendor_state.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace kvsim {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseInt(const std::string& s, long& v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size();
}

bool ParseBool(const std::string& s, bool& v) {
  std::string l = Lower(s);
  if (l == "1" || l == "yes" || l == "true" || l == "on") v = true;
  else if (l == "0" || l == "no" || l == "false" || l == "off") v = false;
  else return false;
  return true;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out.push_back(static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16)));
      i += 3;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

std::optional<uint32_t> ParseIp(const std::string& s) {
  uint32_t v = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t j = i;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j == i || j - i > 3) return std::nullopt;
    int octet = std::stoi(s.substr(i, j - i));
    if (octet > 255) return std::nullopt;
    v = (v << 8) | static_cast<uint32_t>(octet);
    ++parts;
    if (parts < 4) {
      if (j >= s.size() || s[j] != '.') return std::nullopt;
      i = j + 1;
    } else if (j != s.size()) {
      return std::nullopt;
    }
  }
  return v;
}

}  // namespace

std::optional<Fault> ParseFault(const std::string& text) {
  std::string l = Lower(Trim(text));
  if (l == "none" || l.empty()) return Fault::None;
  if (l == "down") return Fault::Down;
  if (l == "slow") return Fault::Slow;
  if (l == "garbage") return Fault::Garbage;
  return std::nullopt;
}

std::optional<Network> ParseNetwork(const std::string& text) {
  std::string t = Trim(text);
  size_t slash = t.find('/');
  auto ip = ParseIp(t.substr(0, slash));
  if (!ip) return std::nullopt;
  long len = 32;
  if (slash != std::string::npos && (!ParseInt(t.substr(slash + 1), len) || len < 0 || len > 32)) return std::nullopt;
  Network n;
  n.mask = len == 0 ? 0 : (0xFFFFFFFFu << (32 - len));
  n.net = *ip & n.mask;
  return n;
}

bool Allowed(const std::vector<Network>& allow, uint32_t ip) {
  return std::any_of(allow.begin(), allow.end(), [&](const Network& n) { return (ip & n.mask) == n.net; });
}

std::optional<ServiceConfig> ParseServiceConfig(const std::string& text, std::string* error) {
  ServiceConfig cfg;
  std::istringstream in(text);
  std::string line, section;
  Account* account = nullptr;
  int lineNo = 0;
  auto fail = [&](const std::string& why) -> std::optional<ServiceConfig> {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[') {
      if (t.back() != ']') return fail("unterminated section");
      std::string name = Trim(t.substr(1, t.size() - 2));
      std::string lower = Lower(name);
      account = nullptr;
      if (lower == "service") {
        section = "service";
      } else if (lower.rfind("account", 0) == 0 && name.size() > 7 && std::isspace(static_cast<unsigned char>(name[7]))) {
        section = "account";
        std::string id = Trim(name.substr(7));
        Account& a = cfg.accounts[id];
        a.id = id;
        account = &a;
      } else {
        return fail("unknown section " + name);
      }
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) return fail("expected name = value");
    std::string key = Lower(Trim(t.substr(0, eq)));
    std::string value = Trim(t.substr(eq + 1));
    long n = 0;
    if (section == "service") {
      if (key == "fault") {
        auto f = ParseFault(value);
        if (!f) return fail("bad fault " + value);
        cfg.fault = *f;
      } else if (key == "slow_ms") {
        if (!ParseInt(value, n) || n < 0) return fail("bad slow_ms");
        cfg.slowMs = static_cast<int>(n);
      } else if (key == "garbage") {
        cfg.garbage = Unescape(value);
      } else if (key == "fetch_timeout_ms") {
        if (!ParseInt(value, n) || n < 1) return fail("bad fetch_timeout_ms");
        cfg.fetchTimeoutMs = static_cast<int>(n);
      } else if (key == "fetch_allow") {
        std::istringstream nets(value);
        std::string one;
        while (nets >> one) {
          auto net = ParseNetwork(one);
          if (!net) return fail("bad network " + one);
          cfg.fetchAllow.push_back(*net);
        }
      } else {
        return fail("unknown key " + key);
      }
    } else if (section == "account" && account) {
      if (key == "password") {
        account->password = value;
      } else if (key == "registered") {
        if (!ParseBool(value, account->registered)) return fail("bad registered");
      } else if (key == "online") {
        if (!ParseBool(value, account->online)) return fail("bad online");
      } else if (key == "remote") {
        account->remote = value;
      } else if (key == "fault") {
        auto f = ParseFault(value);
        if (!f || *f == Fault::Down) return fail("bad account fault " + value);
        account->fault = *f;
      } else {
        return fail("unknown key " + key);
      }
    } else {
      return fail("value outside a section");
    }
  }
  return cfg;
}

std::optional<FetchTarget> ParseFetchUrl(const std::string& url) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
  size_t slash = url.find('/', scheme.size());
  if (slash == std::string::npos) return std::nullopt;
  std::string authority = url.substr(scheme.size(), slash - scheme.size());
  FetchTarget t;
  t.path = url.substr(slash);
  if (t.path != "/oem.txt") return std::nullopt;
  size_t colon = authority.find(':');
  t.host = authority.substr(0, colon);
  if (t.host.empty() || t.host.size() > 253) return std::nullopt;
  for (unsigned char c : t.host) {
    if (!(std::isalnum(c) || c == '-' || c == '.')) return std::nullopt;
  }
  if (colon != std::string::npos) {
    long p = 0;
    if (!ParseInt(authority.substr(colon + 1), p) || p < 1 || p > 65535) return std::nullopt;
    t.port = static_cast<uint16_t>(p);
  }
  return t;
}

Answer Respond(const ServiceConfig& cfg, const std::string& path, const std::map<std::string, std::string>& query,
               const FetchFn& fetch) {
  Answer a;
  auto param = [&](const char* name) {
    auto it = query.find(name);
    return it == query.end() ? std::string() : it->second;
  };
  const Account* acct = nullptr;
  std::string id = param("id");
  auto it = cfg.accounts.find(id);
  if (it != cfg.accounts.end() && it->second.registered) acct = &it->second;

  Fault fault = cfg.fault;
  if (fault == Fault::None && acct && (path == "/func/getremote.asp" || path == "/api/checkauth.asp")) fault = acct->fault;
  if (fault == Fault::Garbage) {
    a.body = cfg.garbage;
    return a;
  }
  if (fault == Fault::Slow) a.delayMs = cfg.slowMs;

  if (path == "/func/getremote.asp") {
    if (!acct) a.body = "0IDS_SERVER_NOID";
    else if (!acct->online) a.body = "0IDS_SERVER_OFFLINE";
    else a.body = "1" + acct->remote;
  } else if (path == "/api/checkauth.asp") {
    if (!acct) a.body = "0ERRIDS_SERVER_NOID";
    else if (acct->password != param("pwd")) a.body = "0ERRIDS_SERVER_NOAUTH";
    else a.body = "1";
  } else if (path == "/api/checkurl.asp") {
    auto target = ParseFetchUrl(param("url"));
    bool ok = target && fetch && fetch(target->host, target->port, target->path, cfg.fetchTimeoutMs);
    a.body = ok ? "1" : "0";
  } else {
    a.status = 404;
    a.body = "<html><body>404 Not Found</body></html>";
  }
  return a;
}

}  // namespace kvsim
