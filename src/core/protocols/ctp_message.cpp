#include "core/protocols/ctp_message.h"

#include <algorithm>
#include <cctype>

#include "core/protocols/text_util.h"

namespace kestrova {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

std::string OneLine(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

bool Contains(std::string_view hay, std::string_view needle) {
  return hay.find(needle) != std::string_view::npos;
}

// The value of an argument line: the text after its first blank, trimmed (empty without one).
std::string ArgValue(std::string_view line) {
  line = TrimText(line);
  size_t sp = line.find(' ');
  if (sp == std::string_view::npos) return {};
  return TrimCopy(line.substr(sp + 1));
}

}  // namespace

std::string BuildCtpRequest(std::string_view command, const std::vector<std::string>& bodyLines) {
  std::string body;
  for (const auto& line : bodyLines) {
    body += OneLine(line);
    body += kCrLf;
  }
  body += kCrLf;
  std::string out;
  out += "CMD ";
  out += OneLine(command);
  out += " CTP/1.0\r\nContent-Length:";
  out += std::to_string(body.size());
  out += "\r\n\r\n";
  out += body;
  return out;
}

std::string BuildCtpKeepalive() { return BuildCtpRequest("keepalive"); }

std::string BuildCtpLogin(std::string_view user, std::string_view password) {
  return BuildCtpRequest("cfgusr", {"-login " + TrimCopy(user) + ":" + TrimCopy(password)});
}

std::string BuildCtpGetOrayState() { return BuildCtpRequest("getoraystate", {"-list"}); }
std::string BuildCtpGetWireless() { return BuildCtpRequest("cfgwnic", {"-list"}); }

std::string BuildCtpSetWireless(const TDEVWiFi& w) {
  return BuildCtpRequest("cfgwnic", {
                                        "-enable " + std::to_string(w.Enable),
                                        "-ssid " + TrimCopy(w.SSID),
                                        "-authmode " + TrimCopy(w.AuthMode),
                                        "-encryptype " + TrimCopy(w.EncrypType),
                                        "-key " + TrimCopy(w.Key),
                                    });
}

std::string BuildCtpListNetworks() { return BuildCtpRequest("iwlist"); }
std::string BuildCtpRestart() { return BuildCtpRequest("restart"); }
std::string BuildCtpExit() { return "CMD exit CTP/1.0\r\n"; }

std::string BuildCtpSearch() { return "SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n"; }

std::string MacWithColons(std::string_view mac) {
  std::string out;
  size_t n = mac.size() / 2 * 2;
  size_t start = mac.size() - n;  // a leading odd character is dropped
  for (size_t i = start; i < mac.size(); i += 2) {
    if (i != start) out += ':';
    out.append(mac.substr(i, 2));
  }
  return out;
}

std::string BuildCtpSetIP(const TDevInfo& oldDev, const TDevInfo& newDev, std::string_view password) {
  auto line = [](std::string_view s) { return OneLine(s) + "\r\n"; };
  std::string body = "\r\n";
  body += line("-sn " + newDev.SN);
  body += line("-interface " + oldDev.IP);
  body += line("-pswd " + std::string(password));
  body += line(newDev.IPMode == 1 ? "-dhcpen 1" : "-dhcpen 0");
  body += line("-ip " + newDev.IP);
  body += line("-netmask " + newDev.NetMask);
  body += line("-defgw " + newDev.Gateway);
  body += line("-name " + newDev.Name);
  body += line("-mdns " + newDev.DNS1);
  body += line("-sdns " + newDev.DNS2);
  body += line("-mac " + MacWithColons(newDev.MAC));
  body += line("-port " + std::to_string(newDev.HttpPort));
  body += "\r\n";
  return "CMD setip CTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + body;
}

bool CtpReplyOk(std::string_view reply) { return Contains(reply, "200 OK"); }
bool CtpKeepaliveOk(std::string_view reply) { return Contains(reply, "200"); }

std::string_view CtpReplyBody(std::string_view reply) {
  size_t p = reply.find(kHeaderEnd);
  if (p == std::string_view::npos) return {};
  return reply.substr(p + kHeaderEnd.size());
}

int32_t ParseCtpOrayState(std::string_view reply) {
  int32_t state = 5;
  if (!CtpReplyOk(reply)) return state;
  for (std::string_view line : SplitLines(CtpReplyBody(reply))) {
    if (!Contains(line, "-status")) continue;
    state = TextToIntDef(line.size() > 8 ? line.substr(8) : std::string_view{}, 5);
  }
  return state;
}

std::optional<TDEVWiFi> ParseCtpWirelessConfig(std::string_view reply) {
  if (!CtpReplyOk(reply)) return std::nullopt;
  TDEVWiFi w;
  for (std::string_view line : SplitLines(CtpReplyBody(reply))) {
    if (Contains(line, "-enable"))
      w.Enable = TextToIntDef(ArgValue(line), 0);
    else if (Contains(line, "-ssid"))
      w.SSID = ArgValue(line);
    else if (Contains(line, "-authmode"))
      w.AuthMode = ArgValue(line);
    else if (Contains(line, "-encryptype"))
      w.EncrypType = ArgValue(line);
    else if (Contains(line, "-key"))
      w.Key = ArgValue(line);
    else if (Contains(line, "-dhcpen"))
      w.DhcpEn = TextToIntDef(ArgValue(line), 0);
  }
  return w;
}

std::vector<TCtpNetwork> ParseCtpNetworkList(std::string_view reply) {
  std::vector<TCtpNetwork> out;
  if (!CtpReplyOk(reply)) return out;
  for (std::string_view line : SplitLines(CtpReplyBody(reply))) {
    size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma == 0) continue;
    TCtpNetwork net;
    net.WiFi.SSID = std::string(line.substr(0, comma));
    // Fields 2..6 and the rest after the sixth comma.
    std::string_view rest = line.substr(comma + 1);
    std::string_view fields[5];
    bool haveSignal = false;
    std::string_view signal;
    for (int i = 0; i < 5; ++i) {
      size_t c = rest.find(',');
      if (c == std::string_view::npos) {
        fields[i] = rest;
        rest = {};
        for (int j = i + 1; j < 5; ++j) fields[j] = {};
        break;
      }
      fields[i] = rest.substr(0, c);
      rest = rest.substr(c + 1);
      if (i == 4) {
        haveSignal = true;
        signal = rest;
      }
    }
    net.WiFi.Security = TextToIntDef(TrimText(fields[1]), 0);
    net.WiFi.Mode = TextToIntDef(TrimText(fields[2]), 0);
    net.WiFi.AuthType = TextToIntDef(TrimText(fields[3]), 0);
    net.WiFi.Cipher = TextToIntDef(TrimText(fields[4]), 0);
    if (haveSignal) net.WiFi.Signal = TrimCopy(signal);
    net.Text = net.WiFi.SSID + "(" + net.WiFi.Signal + "%)";
    out.push_back(std::move(net));
  }
  return out;
}

CtpFrameState CtpReplyFrame(std::string_view received) {
  size_t end = received.find(kHeaderEnd);
  if (end == std::string_view::npos) return {};
  size_t bodyStart = end + kHeaderEnd.size();
  std::string_view head = received.substr(0, end);
  constexpr std::string_view kName = "content-length:";
  for (std::string_view line : SplitLines(head)) {
    if (line.size() < kName.size()) continue;
    bool match = true;
    for (size_t i = 0; i < kName.size() && match; ++i)
      match = std::tolower(static_cast<unsigned char>(line[i])) == kName[i];
    if (!match) continue;
    std::string_view v = TrimText(line.substr(kName.size()));
    if (v.empty() || v.size() > 9 || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return {CtpFrame::Unframed, 0};
    size_t len = static_cast<size_t>(std::stoul(std::string(v)));
    if (received.size() - bodyStart >= len) return {CtpFrame::Complete, bodyStart + len};
    return {CtpFrame::Incomplete, 0};
  }
  return {CtpFrame::Unframed, 0};
}

}  // namespace kestrova
