// A router plug-in's answer as the host hands it over (the bytes up to the first NUL of the
// buffer): read as the router's table, the camera's mapping merged, the request built and
// checked against an echo of itself; then the input cut at its first 0x00 as a request and an
// answer for the reply check. Nothing may read past the input, a table may not hold more rows
// than the input could describe, and a plug-in that echoes the request must be accepted.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/router/port_forward.h"

using namespace kestrova::router;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::string answer = AnswerText(bytes, size);
  if (answer.size() > size) std::abort();

  TPortForwardTables t;
  if (t.ParseRouterTable(answer)) {
    // Every row is one element of at least "<a/>" in the answer.
    if (t.router.size() * 4 > answer.size()) std::abort();
    for (const auto& r : t.router)
      if (r.IP.find(' ') != std::string::npos) std::abort();
    t.AddMapping("192.168.1.60", "81", "TCP");
    if (t.FindConflicts()) t.OverrideConflicts();
    t.MergeNeeded();
    const std::string request = t.BuildRequestXml();
    if (!request.empty()) {
      // The request must read back as a table of the rows it was built from.
      TPortForwardTables back;
      if (!back.ParseRouterTable(request)) std::abort();
      if (back.router.size() != t.VisibleRouterRows().size()) std::abort();
      if (back.HasSecondPorts != t.HasSecondPorts) std::abort();
      bool checked = false;
      for (const auto* r : t.VisibleRouterRows()) checked = checked || (r->isUpdate != 3 && r->isUpdate != 4);
      TPortForwardTables v;
      if (checked && !v.VerifyReply(request, request)) std::abort();
    }
  }

  const std::string whole(bytes, size);
  const size_t zero = whole.find('\0');
  if (zero != std::string::npos) {
    const std::string request = whole.substr(0, zero);
    const std::string reply = AnswerText(bytes + zero + 1, size - zero - 1);
    TPortForwardTables v;
    v.VerifyReply(request, reply);
  }
  return 0;
}
