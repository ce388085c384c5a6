#include "core/settings/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <functional>

namespace kestrova {
namespace {

struct ReadCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  const char* expected;  // default is "<def>"
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class IniReadRules : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadRules, ReadsAsPrivateProfile) {
  const ReadCase& c = GetParam();
  TIniFile ini = TIniFile::FromText(c.text);
  EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniReadRules,
    ::testing::Values(
        ReadCase{"NamesIgnoreCase", "[Global]\r\nLan=cn\r\n", "gLOBAL", "LAN", "cn"},
        ReadCase{"BlanksAroundNamesAndValues", "  [ Dev Find ]  \r\n\t adv mode \t=   a  b \t \r\n", "Dev Find",
                 "adv mode", "a  b"},
        ReadCase{"LookupNamesTrimmedToo", "[S]\r\nk=v\r\n", " S ", " k\t", "v"},
        ReadCase{"LfOnly", "[S]\nk=v\nj=w", "S", "j", "w"},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"ValueKeepsLaterEquals", "[S]\r\nk = a=b = c\r\n", "S", "k", "a=b = c"},
        ReadCase{"EmptyValueIsNotDefault", "[S]\r\nk=\r\n", "S", "k", ""},
        ReadCase{"MissingKey", "[S]\r\nk=v\r\n", "S", "other", "<def>"},
        ReadCase{"MissingSection", "[S]\r\nk=v\r\n", "T", "k", "<def>"},
        ReadCase{"CommentIsNoKey", "[S]\r\n;k=v\r\n", "S", ";k", "<def>"},
        ReadCase{"JunkLinesSkipped", "[S]\r\ngarbage line\r\n=nokey\r\n[\r\n[]\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"UnclosedHeaderIsNoSection", "[S]\r\n[T\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"KeysBeforeAnySectionUnreachable", "k=v\r\n[S]\r\n", "", "k", "<def>"},
        ReadCase{"FirstDuplicateKeyWins", "[S]\r\nk=first\r\nK=second\r\n", "S", "k", "first"},
        ReadCase{"FirstDuplicateSectionWins", "[S]\r\nk=first\r\n[s]\r\nk=second\r\nj=only\r\n", "S", "j",
                 "<def>"},
        ReadCase{"Utf8Text", "[StrRes]\r\nIDS_WZ=\xE5\x90\x91\xE5\xAF\xBC\r\n", "strres", "ids_wz",
                 "\xE5\x90\x91\xE5\xAF\xBC"},
        ReadCase{"EmptyText", "", "S", "k", "<def>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, ValuesAreCutAt2047BytesWithoutSplittingUtf8) {
  std::string longAscii(3000, 'x');
  std::string accented = std::string(2046, 'a') + "\xC3\xA9" + "tail";  // é straddles the cut
  std::string han = std::string(2045, 'a') + "\xE4\xB8\xAD";            // 中 ends at byte 2048
  TIniFile ini = TIniFile::FromText("[S]\r\nlong=" + longAscii + "\r\nacc=" + accented + "\r\nhan=" + han + "\r\n");
  EXPECT_EQ(ini.ReadString("S", "long", ""), std::string(2047, 'x'));
  EXPECT_EQ(ini.ReadString("S", "acc", ""), std::string(2046, 'a'));
  EXPECT_EQ(ini.ReadString("S", "han", ""), std::string(2045, 'a'));
  EXPECT_EQ(ini.ReadString("S", "none", longAscii), std::string(2047, 'x'));  // the default too
  std::string exact(2047, 'y');
  EXPECT_EQ(TIniFile::FromText("[S]\nk=" + exact).ReadString("S", "k", ""), exact);
}

TEST(IniFile, IntegersTakeTheLeadingDecimalNumber) {
  struct Case { const char* value; int expected; } cases[] = {
      {"12", 12},          {" -7 ", -7},       {"+5", 5},   {"12abc", 12}, {"007", 7},
      {"abc", -99},        {"", -99},          {"-", -99},  {"0x10", 0},   {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& c : cases) {
    TIniFile ini = TIniFile::FromText(std::string("[S]\r\nk=") + c.value + "\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "k", -99), c.expected) << "value '" << c.value << "'";
  }
  EXPECT_EQ(TIniFile::FromText("[S]\r\n").ReadInteger("S", "k", 42), 42);
}

TEST(IniFile, BooleansReadNonZeroAsTrueAndWriteOneZero) {
  struct Case { const char* value; bool def; bool expected; } cases[] = {
      {"1", false, true},     {"0", true, false},     {"2", false, true},  {"-1", false, true},
      {"1abc", false, true},  {"yes", false, false},  {"yes", true, true}, {"true", false, false},
      {"", true, true},
  };
  for (const auto& c : cases) {
    TIniFile ini = TIniFile::FromText(std::string("[S]\r\nk=") + c.value + "\r\n");
    EXPECT_EQ(ini.ReadBool("S", "k", c.def), c.expected) << "value '" << c.value << "' default " << c.def;
  }
  TIniFile ini;
  ini.WriteBool("DevFind", "advmode", true);
  ini.WriteBool("DevFind", "other", false);
  EXPECT_EQ(ini.ToText(), "[DevFind]\r\nadvmode=1\r\nother=0\r\n");
}

TEST(IniFile, WritesKeepOrderCommentsAndSpelling) {
  TIniFile ini = TIniFile::FromText(
      "; settings\n[Global]\nLan = cn\n; trailing note\n\n[DevFind]\nadvmode=0\n");
  EXPECT_TRUE(ini.WriteString("global", "LAN", "en"));   // in place, original spelling kept
  EXPECT_TRUE(ini.WriteString("GLOBAL", "extra", "x"));  // after the last key, before the note
  EXPECT_TRUE(ini.WriteInteger("New", "n", -3));
  EXPECT_EQ(ini.ToText(),
            "; settings\r\n[Global]\r\nLan=en\r\nextra=x\r\n; trailing note\r\n\r\n"
            "[DevFind]\r\nadvmode=0\r\n[New]\r\nn=-3\r\n");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Global", "DevFind", "New"}));
  EXPECT_EQ(ini.ReadSection("global"), (std::vector<std::string>{"Lan", "extra"}));
}

TEST(IniFile, WritesThatWouldNotReadBackAreRefused) {
  TIniFile ini = TIniFile::FromText("[S]\r\nk=v\r\n");
  const std::string before = ini.ToText();
  EXPECT_FALSE(ini.WriteString("S", "k", "two\r\n[Evil]\r\nx=1"));
  EXPECT_FALSE(ini.WriteString("S", "a=b", "v"));
  EXPECT_FALSE(ini.WriteString("S", "", "v"));
  EXPECT_FALSE(ini.WriteString("", "k", "v"));
  EXPECT_FALSE(ini.WriteString("S]x", "k", "v"));
  EXPECT_FALSE(ini.WriteString("S", ";k", "v"));
  EXPECT_FALSE(ini.WriteString("S", std::string_view("k\0x", 3), "v"));
  EXPECT_EQ(ini.ToText(), before);
}

TEST(IniFile, ToTextReadsBackTheSame) {
  TIniFile ini = TIniFile::FromText("\xEF\xBB\xBF\xEF\xBB\xBF[S]\nk=head\n[S]\nk=real\n");
  ASSERT_EQ(ini.ReadString("S", "k", ""), "real");
  EXPECT_EQ(TIniFile::FromText(ini.ToText()).ReadString("S", "k", ""), "real");
}

}  // namespace
}  // namespace kestrova
