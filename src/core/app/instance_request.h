// The request a second start sends to the running instance over the local socket:
// "activate\n" + window caption (UTF-8) + "\n". Read from whatever bytes a local peer sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

// At most this many bytes are taken from a peer; a longer request is refused.
inline constexpr size_t kActivateRequestMax = 4096;

enum class TActivateVerdict {
  NeedMore,  // both lines are not in yet and the peer is still connected
  Refuse,    // longer than kActivateRequestMax: drop the connection
  Ignore,    // complete, but not an activation request
  Activate,  // raise the window named by Title
};

struct TActivateRequest {
  TActivateVerdict Verdict = TActivateVerdict::NeedMore;
  std::string Title;  // the second line without surrounding blanks (bytes as sent)
};

// data: everything received so far; peerClosed: the peer hung up, so what is there is all.
TActivateRequest ReadActivateRequest(std::string_view data, bool peerClosed);

// The request for a window caption (a line break in the caption would end it early, so line
// breaks are sent as blanks).
std::string ActivateRequestText(std::string_view titleUtf8);

}  // namespace kestrova
