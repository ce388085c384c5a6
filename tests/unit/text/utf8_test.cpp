// UTF-8 helpers: validity, cutting at a character boundary, terminal-safe camera texts.
#include <gtest/gtest.h>

#include "core/text/utf8.h"

namespace kestrova {
namespace {

TEST(Utf8Text, Validity) {
  struct Case {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"\xe5\xae\xa2\xe5\x8e\x85", true},       // 客厅
      {"\xf0\x9f\x93\xb7", true},               // U+1F4F7
      {"\xbf\xcd\xcc\xfc", false},              // 客厅 in GBK
      {"\xe5\xae", false},                      // cut short
      {"\xc0\xaf", false},                      // overlong '/'
      {"\xed\xa0\x80", false},                  // surrogate
      {"\xf4\x90\x80\x80", false},              // above U+10FFFF
      {"caf\xe9", false},                       // CP1252
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
}

TEST(Utf8Text, PrefixNeverEndsInsideACharacter) {
  struct Case {
    std::string text;
    size_t max;
    std::string want;
  } cases[] = {
      {"abcdef", 4, "abcd"},
      {"ab\xc5\x82", 3, "ab"},                         // ł does not fit whole
      {"ab\xc5\x82", 4, "ab\xc5\x82"},
      {"\xe5\xae\xa2\xe5\x8e\x85", 5, "\xe5\xae\xa2"},
      {"\xbf\xcd\xcc\xfc", 3, "\xbf\xcd\xcc"},         // not UTF-8: cut plainly
      {"x", 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8Prefix(c.text, c.max), c.want) << c.text << " " << c.max;
}

TEST(Utf8Text, PrintableReplacesControlsAndStrayBytes) {
  struct Case {
    std::string text, want;
  } cases[] = {
      {"Office", "Office"},
      {"\xe5\xae\xa2\xe5\x8e\x85", "\xe5\xae\xa2\xe5\x8e\x85"},
      {"a\x1b[2Jb", "a?[2Jb"},           // an escape sequence loses its ESC
      {"tab\tnl\ncr\rdel\x7f", "tab?nl?cr?del?"},
      {"c1\xc2\x9b" "x", "c1?x"},         // CSI written in UTF-8
      {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},   // U+00A0 is no control
      {"gbk\xbf\xcd", "gbk??"},
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableText(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace kestrova
