#include "core/remote/check_report.h"

#include <gtest/gtest.h>

namespace kestrova::remote {
namespace {

using Lines = std::vector<std::string>;

// The result box after a sequence of reports.
TEST(ResultBox, ReportCodes) {
  struct Report {
    int code;
    std::string text;
  };
  struct Case {
    const char* name;
    std::vector<Report> reports;
    Lines lines;
    bool success;
  } cases[] = {
      {"nothing", {}, {}, false},
      {"adds", {{0, "a"}, {0, "b"}}, {"a", "b"}, false},
      {"replace on an empty box adds", {{1, "a"}}, {"a"}, false},
      {"success on an empty box adds", {{2, "a"}}, {"a"}, true},
      {"replace the last line", {{0, "a"}, {0, "b"}, {1, "c"}}, {"a", "c"}, false},
      {"success replaces", {{0, "a"}, {2, "ok"}}, {"ok"}, true},
      {"success stays after more lines", {{2, "ok"}, {0, "x"}}, {"ok", "x"}, true},
      {"a text of several lines", {{0, "a\r\nb\nc\rd"}}, {"a", "b", "c", "d"}, false},
      {"empty lines are lines", {{0, "a\r\n\r\nb"}, {0, ""}}, {"a", "", "b", ""}, false},
      {"a replacement takes the last shown line only", {{0, "a\r\nb"}, {1, "c"}}, {"a", "c"}, false},
      {"a replacement of several lines", {{0, "a"}, {1, "b\r\nc"}}, {"b", "c"}, false},
      {"indents kept", {{0, "    x"}, {0, "\ty\t"}}, {"    x", "\ty\t"}, false},
      {"unknown codes ignored", {{0, "a"}, {3, "b"}, {-1, "c"}}, {"a"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TResultBox box;
    for (const auto& r : c.reports) box.Apply(r.code, r.text);
    EXPECT_EQ(box.Lines(), c.lines);
    EXPECT_EQ(box.Succeeded(), c.success);
  }
}

TEST(ResultBox, ClearStartsOver) {
  TResultBox box;
  box.Apply(2, "ok");
  box.Clear();
  EXPECT_TRUE(box.Lines().empty());
  EXPECT_FALSE(box.Succeeded());
  box.Apply(0, "a");
  box.Apply(0, "b");
  EXPECT_EQ(box.Text(), "a\nb");
}

TEST(CheckTexts, EveryKeyLoadedOnce) {
  std::vector<std::string> asked;
  TCheckTexts t = LoadCheckTexts([&](const std::string& k) {
    asked.push_back(k);
    return k + "!";
  });
  EXPECT_EQ(asked, CheckTextKeys());
  EXPECT_EQ(CheckText(t, "IDS_NOID"), "IDS_NOID!");
  EXPECT_EQ(CheckText(t, "IDS_NOT_A_CHECK_KEY"), "");
}

}  // namespace
}  // namespace kestrova::remote
