// What the DDNS and port-forward checks hand to their front ends: numbered reports, each one
// line of the result box (or the replacement of its last line), and the box they build.
//
// Report codes: 0 adds the text as a new line; 1 replaces the last line; 2 replaces the last
// line and marks the check successful. A text may hold line breaks (the language files' "$n");
// the box then shows it as several lines, and a later replacement takes the box's last line.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::remote {

enum TReportCode : int { kReportAdd = 0, kReportReplace = 1, kReportSuccess = 2 };

// Indented lines of the result box begin with this.
inline constexpr std::string_view kReportIndent = "    ";

// Called once per report, in order, from the thread that runs the check.
using ReportFn = std::function<void(int code, const std::string& text)>;

// The message texts a check shows, by key, taken from the language once before the check
// starts (the check does not look texts up itself). A key not in the map shows as "".
using TCheckTexts = std::map<std::string, std::string, std::less<>>;

// Every key the checks of this folder show.
const std::vector<std::string>& CheckTextKeys();
// The texts of CheckTextKeys() through load (e.g. the language lookup).
TCheckTexts LoadCheckTexts(const std::function<std::string(const std::string&)>& load);

// The text of a key ("" when missing).
std::string CheckText(const TCheckTexts& texts, std::string_view key);

// The result box: its lines as shown, and whether a report with code 2 arrived.
class TResultBox {
 public:
  // Applies one report. Code 0 adds the text's lines; codes 1 and 2 replace the last line with
  // them (or add them to an empty box); code 2 also marks success. Other codes are ignored.
  void Apply(int code, const std::string& text);
  void Clear();

  const std::vector<std::string>& Lines() const { return lines_; }
  bool Succeeded() const { return succeeded_; }
  // The lines joined with "\n".
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
  bool succeeded_ = false;
};

// A text's lines: split at CR LF, LF or CR; "" is one empty line.
std::vector<std::string> SplitLines(std::string_view text);

// A name from a device or a reply, made fit to stand in a message: control bytes become '?'
// and the text is cut to 100 bytes.
std::string DisplayName(std::string_view name);

}  // namespace kestrova::remote
