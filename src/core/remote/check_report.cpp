#include "core/remote/check_report.h"

#include "core/remote/vendor_service.h"

namespace kestrova::remote {

const std::vector<std::string>& CheckTextKeys() {
  static const std::vector<std::string> keys = {
      "IDS_CHECKING",
      "IDS_CHECKING2",
      "IDS_CHECKDDNS_GETCONFIG",
      "IDS_CHECKDDNS_GETCONFIG_SUCC",
      "IDS_CHECKDDNS_GETCONFIG_ERR",
      "IDS_CHECKDDNS_GETCONFIG_ERR2",
      "IDS_CHECKDDNS_GETCONFIG_ERR3",
      "IDS_CHECKDDNS_GETCONFIG_ERR4",
      "IDS_CHECKDDNS_GETCONFIG_ERR5",
      "IDS_CHECKDDNS_GETCONFIG_ERR6",
      "IDS_CHECKDDNS2",
      "IDS_CHECKDDNS2_SUCC",
      "IDS_CHECKDDNS2_ERR_DO",
      "IDS_CHECKDDNS2_ERR_DO2",
      "IDS_CANNOTCONNECTSERVER",
      "IDS_UNKNOWERR",
      "IDS_NOREG",
      "IDS_NOID",
      "IDS_ERRPWD",
      "IDS_DEVOFFLINE",
      "IDS_CHECKSUCC",
      "IDS_CHECKFAIL_NOTCONNECT",
      "IDS_CHECKFAIL_NOTCONNECTDEV",
      "IDS_CHECKDO_PORTFORWARD",
      "IDS_CHECKDO_PORTFORWARD2",
  };
  return keys;
}

TCheckTexts LoadCheckTexts(const std::function<std::string(const std::string&)>& load) {
  TCheckTexts texts;
  for (const std::string& key : CheckTextKeys()) texts[key] = load ? load(key) : std::string();
  return texts;
}

std::string CheckText(const TCheckTexts& texts, std::string_view key) {
  auto it = texts.find(key);
  return it == texts.end() ? std::string() : it->second;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> out;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      out.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(c);
    }
  }
  out.push_back(line);
  return out;
}

void TResultBox::Apply(int code, const std::string& text) {
  if (code != kReportAdd && code != kReportReplace && code != kReportSuccess) return;
  if (code != kReportAdd && !lines_.empty()) lines_.pop_back();
  for (std::string& line : SplitLines(text)) lines_.push_back(std::move(line));
  if (code == kReportSuccess) succeeded_ = true;
}

void TResultBox::Clear() {
  lines_.clear();
  succeeded_ = false;
}

std::string TResultBox::Text() const {
  std::string out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) out += '\n';
    out += lines_[i];
  }
  return out;
}

std::string DisplayName(std::string_view name) {
  return ReplyForDisplay(name, 100);
}

}  // namespace kestrova::remote
