// Feeds one input, cut at its 0x00 bytes, as the successive replies the DDNS and port-forward
// checks receive (the camera's get_params answer first, then the service's answers), and as a
// get_params reply of its own. The result box must stay bounded by what came in, and no request
// may leave with a value that breaks out of its place.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/remote/ddns_check.h"
#include "core/remote/port_forward_check.h"

using namespace kestrova::remote;

namespace {

bool UrlIsOneRequest(const std::string& url) {
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7F || c == '#') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t zero = text.find('\0', start);
    parts.push_back(text.substr(start, zero == std::string::npos ? std::string::npos : zero - start));
    if (zero == std::string::npos) break;
    start = zero + 1;
  }

  TDdnsOptions o = ReadDdnsOptions(text);
  if (o.Server.size() > size || o.User.size() > size || o.Password.size() > size) std::abort();

  const TCheckTexts texts = LoadCheckTexts([](const std::string& key) { return key; });
  size_t next = 0;
  auto get = [&](const std::string& url, int) -> std::optional<std::string> {
    if (!url.empty() && !UrlIsOneRequest(url)) std::abort();
    if (next >= parts.size()) return std::nullopt;
    return parts[next++];
  };
  TResultBox box;
  auto report = [&](int code, const std::string& line) {
    if (code < 0 || code > 2) std::abort();
    box.Apply(code, line);
  };

  TDdnsCheckInput in;
  in.Family = 2;
  in.Base = "http://192.168.0.9";
  in.CameraUser = "admin";
  TDdnsCheckIo io;
  io.Get = get;
  RunDdnsCheck(in, io, texts, report);
  // At most: the options lines, the registration line and the longest advice.
  if (box.Lines().size() > 16) std::abort();

  next = 0;
  box.Clear();
  RunPortForwardCheck(parts[0], parts.size() > 1 ? parts[1] : "", get, {}, texts, report);
  if (box.Lines().size() > 4) std::abort();
  for (const std::string& line : box.Lines()) {
    // Only texts of the check and the server name made fit for display reach the box.
    for (unsigned char c : line) {
      if ((c < 0x20 && c != '\t') || c == 0x7F) std::abort();
    }
  }
  return 0;
}
