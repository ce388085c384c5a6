// The vendor's DDNS service: the three requests (registration, account, outside reachability)
// and the classification of their replies. Pure: the caller performs the GET (port 808,
// 20000 ms) and hands the outcome in; a failed request is std::nullopt, a body is its bytes.
//
// A reply's first byte is the verdict; the rest is every byte after it, compared exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::remote {

// The host part of a DDNS server name: the text before the first ':' or '/' (a server name may
// carry its own port, "aa.bb.cc:9000"; the service is always asked on port 808). A host with
// any character other than letters, digits, '-', '_' and '.' gives the empty text, so the
// request fails instead of going somewhere the name does not say.
std::string ServiceHost(std::string_view ddnsServer);

// Query values are percent-encoded except for the characters that may stand in a query as
// they are (letters, digits, "-._~" and ":/@!$'()*,;"), so an ordinary ID or password is sent
// byte for byte and a '&', '#', '+', '%', '=' or blank cannot change the request.
std::string EncodeQueryValue(std::string_view value);

// "http://" + host + ":808/func/getremote.asp?id=" + id
std::string BuildGetRemoteUrl(std::string_view ddnsServer, std::string_view id);
// "http://" + host + ":808/api/checkauth.asp?id=" + id + "&pwd=" + pwd
std::string BuildCheckAuthUrl(std::string_view ddnsServer, std::string_view id, std::string_view pwd);
// "http://" + host + ":808/api/checkurl.asp?url=http://" + publicAddress + "/oem.txt"; empty
// when publicAddress is not a plain host[:port] (see IsPublicAddress).
std::string BuildCheckUrlUrl(std::string_view ddnsServer, std::string_view publicAddress);

// host[:port]: host of letters, digits, '-' and '.', 1..253 characters; port 1..65535.
bool IsPublicAddress(std::string_view text);

// Registration (getremote).
enum class RegStatus {
  NoAnswer,  // the request failed
  Online,    // "1" + public address
  NoId,      // "0" + "IDS_SERVER_NOID"
  Offline,   // "0" + "IDS_SERVER_OFFLINE"
  Unknown,   // anything else, the empty reply included
};
struct RegReply {
  RegStatus status = RegStatus::NoAnswer;
  // Online: the rest as received. Unknown after a leading '0': the rest; otherwise the whole reply.
  std::string rest;
  // Online and the rest is a plain host[:port]: that address; otherwise empty.
  std::string publicAddress;
};
RegReply ClassifyGetRemote(const std::optional<std::string>& reply);

// Account (checkauth).
enum class AuthStatus {
  NoAnswer,  // the request failed
  Accepted,  // "1"...
  NoId,      // rest "ERRIDS_SERVER_NOID"
  NoAuth,    // rest "ERRIDS_SERVER_NOAUTH"
  Unknown,   // anything else; rest holds the reply less its first byte
};
struct AuthReply {
  AuthStatus status = AuthStatus::NoAnswer;
  std::string rest;
};
AuthReply ClassifyCheckAuth(const std::optional<std::string>& reply);

// Outside reachability (checkurl). The numbers are the probe results the port-forward check
// counts with.
enum class ReachStatus { Reachable = 0, Unreachable = 1, NoAnswer = 2 };
ReachStatus ClassifyCheckUrl(const std::optional<std::string>& reply);

// A reply shown to the user after a message text: control bytes become '?', and the text is
// cut to maxLen bytes (with "..." appended) so that a large or binary answer cannot flood a
// message box.
std::string ReplyForDisplay(std::string_view reply, size_t maxLen = 200);

}  // namespace kestrova::remote
