#include "core/hostnet/host_texts.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>

#include "core/hostnet/net_card.h"

namespace kestrova {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Splits text into lines (LF or CR LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      if (pos < text.size()) out.push_back(text.substr(pos));
      break;
    }
    out.push_back(text.substr(pos, nl - pos));
    pos = nl + 1;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

template <typename T>
bool ParseNumber(std::string_view s, T& value, int base) {
  if (s.empty()) return false;
  if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  return ec == std::errc() && p == s.data() + s.size();
}

// Six two-digit hex octets separated by colons, as the kernel prints a link-layer address.
bool IsHwAddrText(std::string_view s) {
  if (s.size() != 17) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i % 3 == 2 ? s[i] != ':' : !std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

uint32_t KernelHexToHost(uint32_t v) {
  // The kernel prints the network-order word as a native number; on a little-endian machine
  // the first address byte is the lowest hex pair.
  if constexpr (std::endian::native == std::endian::little) {
    return ((v & 0xFF) << 24) | ((v & 0xFF00) << 8) | ((v >> 8) & 0xFF00) | (v >> 24);
  } else {
    return v;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<TRouteEntry> ParseProcNetRoute(std::string_view text) {
  std::vector<TRouteEntry> out;
  for (std::string_view line : Lines(text)) {
    auto f = Fields(line);
    if (f.size() < 8) continue;
    TRouteEntry e;
    uint32_t dest = 0, gw = 0, mask = 0;
    if (!ParseNumber(f[1], dest, 16) || !ParseNumber(f[2], gw, 16) || !ParseNumber(f[3], e.Flags, 16) ||
        !ParseNumber(f[6], e.Metric, 10) || !ParseNumber(f[7], mask, 16)) {
      continue;  // the header line and anything malformed
    }
    e.Iface = std::string(f[0]);
    e.Destination = KernelHexToHost(dest);
    e.Gateway = KernelHexToHost(gw);
    e.Mask = KernelHexToHost(mask);
    out.push_back(std::move(e));
  }
  return out;
}

std::string DefaultGatewayFor(const std::vector<TRouteEntry>& routes, std::string_view iface) {
  constexpr unsigned kUp = 0x1, kGateway = 0x2;
  const TRouteEntry* best = nullptr;
  for (const auto& r : routes) {
    if (r.Iface != iface || r.Destination != 0 || r.Mask != 0) continue;
    if ((r.Flags & (kUp | kGateway)) != (kUp | kGateway) || r.Gateway == 0) continue;
    if (!best || r.Metric < best->Metric) best = &r;
  }
  return best ? FormatIPv4(best->Gateway) : std::string();
}

TNameServers ParseResolvConf(std::string_view text) {
  TNameServers ns;
  for (std::string_view line : Lines(text)) {
    auto f = Fields(line);
    if (f.size() < 2 || f[0] != "nameserver") continue;
    if (!ParseIPv4(f[1])) continue;
    if (ns.DNS1.empty()) {
      ns.DNS1 = std::string(f[1]);
    } else {
      ns.DNS2 = std::string(f[1]);
      break;
    }
  }
  return ns;
}

bool NamesOnlyLocalResolver(const TNameServers& servers) {
  auto local = [](const std::string& s) {
    auto v = ParseIPv4(s);
    return v && (*v >> 24) == 127;
  };
  if (servers.DNS1.empty()) return false;
  return local(servers.DNS1) && (servers.DNS2.empty() || local(servers.DNS2));
}

std::string ParseKeyValueLease(std::string_view text) {
  for (std::string_view line : Lines(text)) {
    line = Trim(line);
    if (line.substr(0, 8) != "ADDRESS=") continue;
    std::string_view value = Trim(line.substr(8));
    if (ParseIPv4(value)) return std::string(value);
  }
  return {};
}

std::string ParseDhclientLeases(std::string_view text, std::string_view iface) {
  // Statements end with ';'; blocks are "lease { ... }". Quoted strings are kept whole.
  std::string result;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t lease = text.find("lease", i);
    if (lease == std::string_view::npos) break;
    size_t j = lease + 5;
    while (j < n && (IsBlank(text[j]) || text[j] == '\n')) ++j;
    if (j >= n || text[j] != '{' || (lease > 0 && !(IsBlank(text[lease - 1]) || text[lease - 1] == '\n' || text[lease - 1] == '}'))) {
      i = lease + 5;
      continue;
    }
    // Block body up to the matching '}' outside quotes.
    size_t k = j + 1;
    bool quoted = false;
    int depth = 1;
    for (; k < n && depth > 0; ++k) {
      char c = text[k];
      if (quoted && c == '\\') {
        ++k;  // escaped character inside a string
        continue;
      }
      if (c == '"') quoted = !quoted;
      else if (!quoted && c == '{') ++depth;
      else if (!quoted && c == '}') --depth;
    }
    if (depth != 0) break;  // unterminated block: ignore it
    std::string_view body = text.substr(j + 1, k - 1 - (j + 1));
    std::string ifaceName, address;
    bool hasIface = false;
    size_t s = 0;
    while (s < body.size()) {
      size_t semi = body.find(';', s);
      std::string_view stmt = Trim(body.substr(s, semi == std::string_view::npos ? std::string_view::npos : semi - s));
      s = semi == std::string_view::npos ? body.size() : semi + 1;
      auto f = Fields(stmt);
      if (f.size() >= 2 && f[0] == "interface") {
        std::string_view v = f[1];
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        ifaceName = std::string(v);
        hasIface = true;
      } else if (f.size() >= 2 && f[0] == "fixed-address" && ParseIPv4(f[1])) {
        address = std::string(f[1]);
      }
    }
    if (!address.empty() && (!hasIface || ifaceName == iface)) result = address;
    i = k;
  }
  return result;
}

bool DecideDhcp(bool kernelDynamic, const std::vector<std::string>& leasedAddresses, std::string_view ip) {
  if (kernelDynamic) return true;
  return std::find(leasedAddresses.begin(), leasedAddresses.end(), ip) != leasedAddresses.end();
}

std::vector<TArpEntry> ParseProcNetArp(std::string_view text) {
  std::vector<TArpEntry> out;
  for (std::string_view line : Lines(text)) {
    auto f = Fields(line);
    if (f.size() < 6 || !ParseIPv4(f[0])) continue;
    TArpEntry e;
    if (!ParseNumber(f[1], e.HwType, 16) || !ParseNumber(f[2], e.Flags, 16)) continue;
    // Anything but an Ethernet-style address (a damaged line, another link type) is left out
    // rather than handed on as a hardware address.
    if (!IsHwAddrText(f[3])) continue;
    e.IP = std::string(f[0]);
    e.HwAddr = std::string(f[3]);
    e.Device = std::string(f[5]);
    out.push_back(std::move(e));
  }
  return out;
}

std::string ResolvedNeighbour(const std::vector<TArpEntry>& table, std::string_view ip, std::string_view device) {
  constexpr unsigned kComplete = 0x2;
  for (const auto& e : table) {
    if (e.IP != ip || e.Device != device || !(e.Flags & kComplete)) continue;
    bool nonZero = std::any_of(e.HwAddr.begin(), e.HwAddr.end(), [](char c) { return c != '0' && c != ':'; });
    if (!nonZero) continue;
    std::string mac = e.HwAddr;
    std::transform(mac.begin(), mac.end(), mac.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return mac;
  }
  return {};
}

}  // namespace kestrova
