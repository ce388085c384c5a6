#include <gtest/gtest.h>

#include "core/i18n/lang.h"

namespace kestrova {
namespace {

TEST(Escapes, ReplacedInTheirOrder) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"Line 1$nLine 2", "Line 1\r\nLine 2"},
      {"a$cb", "a=b"},
      {"$$n", "$\r\n"},  // $n is replaced before $$
      {"100$$", "100$"},
      {"$$t", "\t"},      // $$ becomes $ first, then $t a TAB
      {"$$b", "$ "},      // $b goes first, $$ never sees it
      {"$$$$", "$$"},
      {"$b$c$n$t", " =\r\n\t"},
      {"$B$C$N$T", "$B$C$N$T"},  // case-sensitive
      {"$x$", "$x$"},
      {"#13#13", "#13#13"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyEscapes(c.in), c.out) << "input " << c.in;
}

TEST(Escapes, ReadEscapedAppliesThemToValueAndDefault) {
  TIniFile ini = TIniFile::FromText("[StrRes]\r\nIDS_X=$tFailure$nnext\r\n");
  EXPECT_EQ(ReadEscaped(ini, "StrRes", "ids_x", ""), "\tFailure\r\nnext");
  EXPECT_EQ(ReadEscaped(ini, "StrRes", "IDS_NONE", "a$bb"), "a b");
}

TEST(LangFont, FaceCharsetAndSizeByCode) {
  struct Case { const char* code; int sizeIn; const char* face; int charset; int sizeOut; } cases[] = {
      {"cn", 8, "\xE5\xAE\x8B\xE4\xBD\x93", 134, 9},
      {"cn", 10, "\xE5\xAE\x8B\xE4\xBD\x93", 134, 10},
      {"b5", 8, "PMingLiU", 136, 9},
      {"jp", 8, "MS Mincho", 128, 9},
      {"jp", 9, "MS Mincho", 128, 9},
      {"en", 9, "Tahoma", 1, 8},
      {"en", 10, "Tahoma", 1, 10},
      {"pl", 9, "Tahoma", 1, 8},
      {"kr", 8, "Tahoma", 1, 8},
      {"CN", 8, "Tahoma", 1, 8},  // codes compare case-sensitively
  };
  for (const auto& c : cases) {
    LangFont font{"Arial", 134, c.sizeIn};
    ApplyLangFont(c.code, font);
    EXPECT_EQ(font.face, c.face) << c.code << " " << c.sizeIn;
    EXPECT_EQ(font.charset, c.charset) << c.code << " " << c.sizeIn;
    EXPECT_EQ(font.size, c.sizeOut) << c.code << " " << c.sizeIn;
  }
}

TEST(DefaultLanguageTable, ByOemCodePage) {
  struct Case { int cp; const char* code; } cases[] = {
      {863, "fr"}, {932, "jp"}, {936, "cn"}, {950, "b5"}, {1144, "Ita"}, {1145, "spa"},
      {437, "en"}, {850, "en"}, {0, "en"},   {-1, "en"},
  };
  for (const auto& c : cases) EXPECT_EQ(DefaultLanguage(c.cp), c.code) << c.cp;
}

TEST(DefaultLanguageTable, OemCodePageFromLocaleName) {
  struct Case { const char* locale; int cp; } cases[] = {
      {"zh_CN.UTF-8", 936}, {"zh_SG", 936},        {"zh", 936},         {"zh_TW.UTF-8", 950},
      {"zh_HK.Big5", 950},  {"zh-Hant-TW", 950},   {"ZH_tw", 950},      {"ja_JP.UTF-8", 932},
      {"fr_CA.UTF-8", 863}, {"fr_FR.UTF-8", 437},  {"it_IT@euro", 1144}, {"it_CH", 1144},
      {"es_ES.UTF-8", 1145}, {"es_MX", 1145},      {"en_US.UTF-8", 437}, {"pl_PL.UTF-8", 437},
      {"ko_KR.UTF-8", 437}, {"C", 437},            {"POSIX", 437},      {"", 437},
  };
  for (const auto& c : cases) EXPECT_EQ(OemCodePageFromLocale(c.locale), c.cp) << c.locale;
  // The two tables together pick the start-up language.
  EXPECT_EQ(DefaultLanguage(OemCodePageFromLocale("zh_TW.UTF-8")), "b5");
  EXPECT_EQ(DefaultLanguage(OemCodePageFromLocale("de_DE.UTF-8")), "en");
}

}  // namespace
}  // namespace kestrova
