#include "core/remote/vendor_service.h"

#include <charconv>

#include "core/discovery/ip_text.h"

namespace kestrova::remote {
namespace {

constexpr std::string_view kPort = ":808";

bool IsQueryChar(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-': case '.': case '_': case '~':
    case ':': case '/': case '@': case '!': case '$': case '\'':
    case '(': case ')': case '*': case ',': case ';':
      return true;
    default:
      return false;
  }
}

std::string Rest(const std::string& reply) { return reply.size() > 1 ? reply.substr(1) : std::string(); }

}  // namespace

std::string ServiceHost(std::string_view ddnsServer) {
  std::string_view host = ddnsServer.substr(0, ddnsServer.find_first_of(":/"));
  return IsHostNameText(host) ? std::string(host) : std::string();
}

std::string EncodeQueryValue(std::string_view value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (unsigned char c : value) {
    if (IsQueryChar(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

std::string BuildGetRemoteUrl(std::string_view ddnsServer, std::string_view id) {
  return "http://" + ServiceHost(ddnsServer) + std::string(kPort) + "/func/getremote.asp?id=" +
         EncodeQueryValue(id);
}

std::string BuildCheckAuthUrl(std::string_view ddnsServer, std::string_view id, std::string_view pwd) {
  return "http://" + ServiceHost(ddnsServer) + std::string(kPort) + "/api/checkauth.asp?id=" +
         EncodeQueryValue(id) + "&pwd=" + EncodeQueryValue(pwd);
}

std::string BuildCheckUrlUrl(std::string_view ddnsServer, std::string_view publicAddress) {
  if (!IsPublicAddress(publicAddress)) return {};
  return "http://" + ServiceHost(ddnsServer) + std::string(kPort) + "/api/checkurl.asp?url=http://" +
         std::string(publicAddress) + "/oem.txt";
}

bool IsPublicAddress(std::string_view text) {
  std::string_view host = text;
  size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    host = text.substr(0, colon);
    std::string_view port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    unsigned value = 0;
    auto [p, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || p != port.data() + port.size() || value == 0 || value > 65535) return false;
  }
  if (host.empty() || host.size() > 253) return false;
  for (unsigned char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

RegReply ClassifyGetRemote(const std::optional<std::string>& reply) {
  RegReply r;
  if (!reply) return r;
  const std::string& text = *reply;
  if (!text.empty() && text[0] == '1') {
    r.status = RegStatus::Online;
    r.rest = Rest(text);
    if (IsPublicAddress(r.rest)) r.publicAddress = r.rest;
    return r;
  }
  if (!text.empty() && text[0] == '0') {
    r.rest = Rest(text);
    if (r.rest == "IDS_SERVER_NOID") {
      r.status = RegStatus::NoId;
    } else if (r.rest == "IDS_SERVER_OFFLINE") {
      r.status = RegStatus::Offline;
    } else {
      r.status = RegStatus::Unknown;
    }
    return r;
  }
  r.status = RegStatus::Unknown;
  r.rest = text;
  return r;
}

AuthReply ClassifyCheckAuth(const std::optional<std::string>& reply) {
  AuthReply r;
  if (!reply) return r;
  const std::string& text = *reply;
  if (!text.empty() && text[0] == '1') {
    r.status = AuthStatus::Accepted;
    return r;
  }
  r.rest = Rest(text);
  if (r.rest == "ERRIDS_SERVER_NOID") {
    r.status = AuthStatus::NoId;
  } else if (r.rest == "ERRIDS_SERVER_NOAUTH") {
    r.status = AuthStatus::NoAuth;
  } else {
    r.status = AuthStatus::Unknown;
  }
  return r;
}

ReachStatus ClassifyCheckUrl(const std::optional<std::string>& reply) {
  if (!reply) return ReachStatus::NoAnswer;
  return (!reply->empty() && (*reply)[0] == '1') ? ReachStatus::Reachable : ReachStatus::Unreachable;
}

std::string ReplyForDisplay(std::string_view reply, size_t maxLen) {
  std::string out;
  size_t n = reply.size() < maxLen ? reply.size() : maxLen;
  out.reserve(n + 3);
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(reply[i]);
    out.push_back((c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c));
  }
  if (reply.size() > maxLen) out += "...";
  return out;
}

}  // namespace kestrova::remote
