#include "core/app/instance_request.h"

#include <algorithm>

namespace kestrova {
namespace {

std::string_view Trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

TActivateRequest ReadActivateRequest(std::string_view data, bool peerClosed) {
  TActivateRequest r;
  if (data.size() > kActivateRequestMax) {
    r.Verdict = TActivateVerdict::Refuse;
    return r;
  }
  const size_t first = data.find('\n');
  const size_t second = first == std::string_view::npos ? first : data.find('\n', first + 1);
  if (second == std::string_view::npos && !peerClosed) return r;
  if (Trimmed(data.substr(0, first)) != "activate") {
    r.Verdict = TActivateVerdict::Ignore;
    return r;
  }
  r.Verdict = TActivateVerdict::Activate;
  if (first != std::string_view::npos) {
    const std::string_view rest = data.substr(first + 1);
    r.Title = std::string(Trimmed(rest.substr(0, rest.find('\n'))));
  }
  return r;
}

std::string ActivateRequestText(std::string_view titleUtf8) {
  std::string title(titleUtf8);
  std::replace(title.begin(), title.end(), '\n', ' ');
  return "activate\n" + title + "\n";
}

}  // namespace kestrova
