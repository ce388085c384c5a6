// Consistency of the five language files under resources/lang: byte format, the same sections
// and keys as English, placeholders and escapes kept per key, the language names, and a few
// English texts copied by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ini_file.h"

namespace kestrova {
namespace {

const std::filesystem::path kLangDir = std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources" / "lang";

struct LangCase {
  const char* code;
  int order;
};
void PrintTo(const LangCase& c, std::ostream* os) { *os << c.code; }
const LangCase kLangs[] = {{"en", 1}, {"cn", 2}, {"b5", 3}, {"pl", 4}, {"kr", 5}};

// Every file names every language in its own script.
const std::map<std::string, std::string> kNativeNames = {
    {"en", "English"},
    {"cn", "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"},  // 简体中文
    {"b5", "\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87"},  // 繁體中文
    {"pl", "Polski"},
    {"kr", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"},  // 한국어
};

// Windows the Korean file leaves out (they keep their designed texts there).
const std::set<std::string> kKoreanWithout = {"Form_frmCountdown", "Form_frmAdv_Main"};

std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TIniFile Load(const std::string& code) { return TIniFile(kLangDir / (code + ".ini")); }

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Returns the offset of
// the first bad byte, or npos.
std::size_t FirstInvalidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len;
    unsigned cp;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
    else return i;
    if (i + len > s.size()) return i;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return i;
    i += len;
  }
  return std::string_view::npos;
}

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string_view::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Sections of a file that should match English: all of them, Korean without its two.
std::vector<std::string> ExpectedSections(const TIniFile& en, const std::string& code) {
  std::vector<std::string> out;
  for (const auto& s : en.ReadSections())
    if (code != "kr" || !kKoreanWithout.count(s)) out.push_back(s);
  return out;
}

class LangFile : public ::testing::TestWithParam<LangCase> {};

// Byte level: UTF-8 without BOM, CR LF only, and every line either blank, a section header or
// one key=value whose value has no blanks at its ends (they would be dropped when read) and is
// not empty. No section or key appears twice.
TEST_P(LangFile, IsUtf8CrLfIniWithOneKeyPerLine) {
  const std::string code = GetParam().code;
  const std::string bytes = ReadBytes(kLangDir / (code + ".ini"));
  ASSERT_FALSE(bytes.empty()) << code;
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF") << code << ": no byte-order mark";
  const std::size_t bad = FirstInvalidUtf8(bytes);
  EXPECT_EQ(bad, std::string::npos) << code << ": invalid UTF-8 at byte " << bad;
  ASSERT_TRUE(EndsWith(bytes, "\r\n")) << code;

  std::set<std::string> sections, keys;
  std::string section;
  std::size_t lineNo = 0;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t lf = bytes.find('\n', pos);
    ASSERT_NE(lf, std::string::npos) << code;
    ++lineNo;
    ASSERT_TRUE(lf > pos && bytes[lf - 1] == '\r') << code << ": line " << lineNo << " ends in a bare LF";
    const std::string line = bytes.substr(pos, lf - 1 - pos);
    pos = lf + 1;
    ASSERT_EQ(line.find('\r'), std::string::npos) << code << ": stray CR in line " << lineNo;
    if (line.empty()) continue;
    if (line.front() == '[') {
      ASSERT_TRUE(EndsWith(line, "]")) << code << ": line " << lineNo << ": " << line;
      section = line.substr(1, line.size() - 2);
      std::string lower = section;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      EXPECT_TRUE(sections.insert(lower).second) << code << ": section twice: " << section;
      keys.clear();
      continue;
    }
    ASSERT_FALSE(section.empty()) << code << ": line " << lineNo << " before any section";
    const std::size_t eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << code << ": line " << lineNo << " is not key=value: " << line;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    EXPECT_FALSE(key.empty()) << code << ": line " << lineNo;
    EXPECT_NE(key.front(), ';') << code << ": line " << lineNo << " reads as a comment";
    EXPECT_EQ(key.find_first_of(" \t"), std::string::npos) << code << ": key " << key;
    EXPECT_FALSE(value.empty()) << code << ": " << section << "/" << key << " is empty";
    if (!value.empty()) {
      EXPECT_TRUE(value.front() != ' ' && value.front() != '\t' && value.back() != ' ' && value.back() != '\t')
          << code << ": " << section << "/" << key << " has blanks at an end";
    }
    std::string lower = key;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_TRUE(keys.insert(lower).second) << code << ": " << section << "/" << key << " twice";
  }
}

// [Global]: the order number and the five language names, native in every file.
TEST_P(LangFile, GlobalHoldsOrderAndNativeNames) {
  const LangCase lc = GetParam();
  const TIniFile ini = Load(lc.code);
  EXPECT_EQ(ini.ReadInteger("Global", "order", -1), lc.order) << lc.code;
  for (const auto& [code, name] : kNativeNames)
    EXPECT_EQ(ini.ReadString("Global", "Name_" + code, ""), name) << lc.code << ": Name_" << code;
}

// Same sections and keys as English (Korean without its two windows), nothing English lacks, and
// per key the same number of placeholders, escapes and line-break markers; a caption with an
// accelerator keeps exactly one.
class Translation : public ::testing::TestWithParam<LangCase> {};

TEST_P(Translation, MatchesEnglishKeyByKey) {
  const std::string code = GetParam().code;
  const TIniFile en = Load("en");
  const TIniFile tr = Load(code);
  const std::vector<std::string> want = ExpectedSections(en, code);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(tr.ReadSections(), want) << code;

  if (code == "kr") {
    for (const auto& s : kKoreanWithout) EXPECT_FALSE(tr.SectionExists(s)) << s;
  }
  for (const auto& section : want) {
    const std::vector<std::string> enKeys = en.ReadSection(section);
    EXPECT_EQ(tr.ReadSection(section), enKeys) << code << ": keys of " << section;
    if (section == "Global") continue;
    for (const auto& key : enKeys) {
      const std::string a = en.ReadString(section, key, "");
      const std::string b = tr.ReadString(section, key, "");
      ASSERT_FALSE(b.empty()) << code << ": " << section << "/" << key;
      for (std::string_view marker : {"%s", "%d", "$n", "$t", "$b", "$c", "$$", "#13"})
        EXPECT_EQ(Count(b, marker), Count(a, marker))
            << code << ": " << section << "/" << key << " count of " << marker << "\n  en: " << a << "\n  " << code
            << ": " << b;
      if (Count(a, "&") > 0) {
        EXPECT_EQ(Count(b, "&"), 1u) << code << ": " << section << "/" << key << ": " << b;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTranslations, Translation, ::testing::ValuesIn(kLangs + 1, std::end(kLangs)),
                         [](const auto& info) { return std::string(info.param.code); });

// The status line of the family-5 DDNS check has a text in every language.
TEST_P(LangFile, HasCheckingText) {
  const std::string code = GetParam().code;
  EXPECT_FALSE(Load(code).ReadString("StrRes", "IDS_CHECKING2", "").empty()) << code;
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LangFile, ::testing::ValuesIn(kLangs),
                         [](const auto& info) { return std::string(info.param.code); });

// English texts copied by hand, as stored (escapes unexpanded).
TEST(EnglishLangFile, HoldsTheStoredTexts) {
  const TIniFile en = Load("en");
  struct Row {
    const char* section;
    const char* key;
    const char* text;
  };
  const Row rows[] = {
      {"StrRes", "IDS_RUNNED", "%s has been already running."},
      {"StrRes", "IDS_WZ", "Wizard Mode"},
      {"StrRes", "IDS_CANCELWAIT",
       "make sure you want to cancel the wait? if you cancel the wait, it will return to the \"Select Camera\" "
       "interface."},
      {"StrRes", "IDS_LOADLIBRARY_ERROR", "Loading router configuration program failure\xEF\xBC\x81"},
      {"StrRes", "IDS_GETROUTER_ERROR",
       "Current access router configuration error\xEF\xBC\x81#13#13this software may not support your router's "
       "automated configuration, you can see whether there is a new version, otherwise you need to login the "
       "router to add  manually."},
      {"StrRes", "IDS_CHECKFAIL_NOTCONNECT", "Checking...$t$tFailure, Can not connect the server %s."},
      {"StrRes", "IDS_CHECKDDNS2_ERR_DO",
       "Approach:$n        1.Check whether SN setting is correct;$n        2.Please contact product vendor "
       "technical support."},
      {"Form_frmMain", "Caption", "Kestrova"},
      {"Form_frmMain", "Label1.Caption", "&Back"},
      {"Form_frmEsy_SetWIFI", "Label4.Caption", "Encryption\xEF\xBC\x9A"},
      {"Form_frmEsy_SetWIFI", "cmbSecurity.Items0.Caption", "None"},
      {"Form_frmEsy_DevList", "ListView1.Columns3.Caption", "IP Address"},
      {"Form_frmAdv_Main", "btnFill.Caption", "One &Key Set"},
      {"Form_frmUpgradeSoft", "OpenDialog1.Filter", "Upgrade package(*.bin)|*.bin"},
  };
  for (const Row& r : rows) EXPECT_EQ(en.ReadString(r.section, r.key, "<missing>"), r.text) << r.section << "/" << r.key;

  const std::vector<std::string> sections = {
      "Global",           "Form_frmMain",      "Form_frmSel_Mode",   "Form_frmLinkSource",
      "Form_frmEsy_DevList", "Form_frmEsy_Line", "Form_frmEsy_SetIP",  "Form_frmEsy_SetWIFI",
      "Form_frmEsy_SetDDNS", "Form_frmEsy_SelAccess", "Form_frmEsy_ChkDDNS", "Form_frmCountdown",
      "Form_frmEsy_PortForward", "Form_frmAdv_Main", "Form_frmAuthInput", "Form_frmPortForward",
      "Form_frmUpgradeSoft", "StrRes"};
  EXPECT_EQ(en.ReadSections(), sections);
}

}  // namespace
}  // namespace kestrova
