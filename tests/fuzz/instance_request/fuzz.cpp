// What a local peer sends to the running instance, from arbitrary bytes (the first byte says
// whether the peer has hung up): a verdict for anything, a title that is one line of what was
// sent, and the request built for any caption read back as that caption.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/app/instance_request.h"

using namespace kestrova;

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool closed = data[0] & 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const TActivateRequest r = ReadActivateRequest(text, closed);
  if (text.size() > kActivateRequestMax) Check(r.Verdict == TActivateVerdict::Refuse);
  if (r.Verdict == TActivateVerdict::NeedMore) Check(!closed);
  if (r.Verdict == TActivateVerdict::Activate) {
    Check(r.Title.find('\n') == std::string::npos && text.find(r.Title) != std::string_view::npos);
  } else {
    Check(r.Title.empty());
  }
  // Round trip of a caption made of the same bytes (its blanks at the ends are not kept).
  const std::string sent = ActivateRequestText(text.substr(0, 200));
  const TActivateRequest back = ReadActivateRequest(sent, false);
  Check(back.Verdict == TActivateVerdict::Activate && back.Title.find('\n') == std::string::npos);
  return 0;
}
