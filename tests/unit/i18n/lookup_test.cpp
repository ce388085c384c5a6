#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/i18n/lang.h"
#include "unit/i18n/lang_fixture.h"

namespace kestrova {
namespace {

using Lookup = test::LangFolder;

TEST_F(Lookup, FileNamesFollowTheProgramName) {
  EXPECT_EQ(LangFileFor("cn"), tmp / "kestrova.lcn");
  EXPECT_EQ(LangFilePath(), tmp / "kestrova.len");
  EXPECT_EQ(LanguageDir(), tmp.path());
  // A code that could lead out of the folder names no file at all.
  EXPECT_TRUE(LangFileFor("../x").empty());
  EXPECT_TRUE(LangFileFor("..").empty());
}

TEST_F(Lookup, LoadStrCachesFoundTextsUnderAnyCase) {
  Write("en", "[StrRes]\r\nIDS_WZ=Wizard Mode\r\n");
  EXPECT_EQ(LoadStr("IDS_WZ"), "Wizard Mode");
  Write("en", "[StrRes]\r\nIDS_WZ=Changed\r\n");
  EXPECT_EQ(LoadStr("ids_wz"), "Wizard Mode");  // from the cache
  SetLanguage("en");                            // empties it
  EXPECT_EQ(LoadStr("IDS_WZ"), "Changed");
}

TEST_F(Lookup, MissingAndEmptyTextsAreReadAgainEachTime) {
  Write("en", "[StrRes]\r\nIDS_E=\r\n");
  EXPECT_EQ(LoadStr("IDS_CHECKING2"), "");
  EXPECT_EQ(LoadStr("IDS_E"), "");
  Write("en", "[StrRes]\r\nIDS_E=now set\r\nIDS_CHECKING2=Checking$t...\r\n");
  EXPECT_EQ(LoadStr("IDS_CHECKING2"), "Checking\t...");
  EXPECT_EQ(LoadStr("IDS_E"), "now set");
  EXPECT_EQ(LoadStr(""), "");
}

TEST_F(Lookup, SetLanguageSwitchesFilesAndFallsBackToEnglish) {
  Write("en", "[StrRes]\r\nIDS_WZ=Wizard Mode\r\n");
  Write("cn", "[StrRes]\r\nIDS_WZ=\xE5\x90\x91\xE5\xAF\xBC\r\n");
  EXPECT_EQ(LoadStr("IDS_WZ"), "Wizard Mode");
  SetLanguage("cn");
  EXPECT_EQ(CurrentLanguage(), "cn");
  EXPECT_EQ(LoadStr("IDS_WZ"), "\xE5\x90\x91\xE5\xAF\xBC");
  SetLanguage("fr");
  EXPECT_EQ(CurrentLanguage(), "en");
  EXPECT_EQ(LoadStr("IDS_WZ"), "Wizard Mode");
  SetLanguage("../kestrova.lcn");
  EXPECT_EQ(CurrentLanguage(), "en");
  SetCurrentLanguage("fr");  // taken as it stands
  EXPECT_EQ(CurrentLanguage(), "fr");
  EXPECT_EQ(LoadStr("IDS_WZ"), "");
}

// lan=CN or Kr in option.ini: the code names the same file as cn or kr, and is then spelled the
// way the rules that compare it (the Online CD rewrite, the fonts) expect.
TEST_F(Lookup, LanguageCodesMatchWithoutRegardToCase) {
  Write("cn", "[StrRes]\r\nIDS_WZ=\xE5\x90\x91\xE5\xAF\xBC\r\n");
  for (const char* code : {"CN", "Cn", "cN"}) {
    SetCurrentLanguage(code);
    EXPECT_EQ(CurrentLanguage(), "cn") << code;
    EXPECT_EQ(LangFilePath(), tmp / "kestrova.lcn") << code;
    EXPECT_EQ(LoadStr("IDS_WZ"), "\xE5\x90\x91\xE5\xAF\xBC") << code;
  }
  SetLanguage("EN");
  EXPECT_EQ(CurrentLanguage(), "en");
  EXPECT_EQ(LangFileFor("KR"), tmp / "kestrova.lkr");
  EXPECT_EQ(CanonicalLanguageCode("Ita"), "Ita");  // no such file: as it stands
}

TEST(LegacyCodePage, ByLanguage) {
  EXPECT_EQ(LegacyCodePage("cn"), "GBK");
  EXPECT_EQ(LegacyCodePage("b5"), "Big5");
  EXPECT_EQ(LegacyCodePage("KR"), "CP949");
  EXPECT_EQ(LegacyCodePage("pl"), "windows-1250");
  EXPECT_EQ(LegacyCodePage("en"), "windows-1252");
  EXPECT_EQ(LegacyCodePage("fr"), "windows-1252");
}

TEST_F(Lookup, ReadFormStringReadsTheFileAfresh) {
  Write("en", "[Form_frmMain]\r\nCaption=Kestrova\r\n");
  EXPECT_EQ(ReadFormString("Form_frmMain", "Caption"), "Kestrova");
  Write("en", "[Form_frmMain]\r\nCaption=Renamed$bnow\r\n");
  EXPECT_EQ(ReadFormString("form_FRMMAIN", "caption"), "Renamed now");
  EXPECT_EQ(ReadFormString("", "Caption"), "");
  EXPECT_EQ(ReadFormString("Form_frmMain", ""), "");
}

TEST_F(Lookup, OpenFileStaysUntilSetLanguage) {
  Write("en", "[Form_frmMain]\r\nCaption=First\r\n");
  std::string seen;
  WithOpenLangFile([&](const TIniFile& ini) { seen = ReadEscaped(ini, "Form_frmMain", "Caption", ""); });
  EXPECT_EQ(seen, "First");
  Write("en", "[Form_frmMain]\r\nCaption=Second\r\n");
  WithOpenLangFile([&](const TIniFile& ini) {
    seen = ini.ReadString("Form_frmMain", "Caption", "");
    // Lock B may be taken again from inside, and a language switch keeps this file alive.
    WithOpenLangFile([&](const TIniFile& inner) { EXPECT_EQ(&inner, &ini); });
    SetLanguage("en");
    EXPECT_EQ(ini.ReadString("Form_frmMain", "Caption", ""), "First");
  });
  EXPECT_EQ(seen, "First");
  WithOpenLangFile([&](const TIniFile& ini) { seen = ini.ReadString("Form_frmMain", "Caption", ""); });
  EXPECT_EQ(seen, "Second");
}

TEST_F(Lookup, UsableLanguageFilesNameTheCurrentLanguage) {
  Write("en", "[Global]\r\nName_en=English\r\nName_pl=Polski\r\n");
  Write("pl", "[Global]\r\nName_en=Angielski\r\nName_pl=Polski\r\n");
  Write("kr", "[Global]\r\nName_pl=\r\n");  // no name for en, an empty one for pl
  test::WriteBytes(tmp / "notes.txt", "[Global]\r\nName_en=x\r\n");
  std::filesystem::create_directory(tmp / "sub.lxx");
  EXPECT_EQ(UsableLanguageFiles(), (std::vector<std::filesystem::path>{tmp / "kestrova.len", tmp / "kestrova.lpl"}));
  SetLanguage("pl");
  EXPECT_EQ(UsableLanguageFiles(), (std::vector<std::filesystem::path>{tmp / "kestrova.len", tmp / "kestrova.lpl"}));
  Write("kr", "[Global]\r\nName_pl=Korea\u0144ski\r\n");
  EXPECT_EQ(UsableLanguageFiles().size(), 3u);
}

// Workers look texts up while the window thread switches language back and forth: every
// answer is the text of one of the two files, never a mix or a torn value.
TEST_F(Lookup, LoadStrFromSeveralThreads) {
  Write("en", "[StrRes]\r\nIDS_A=alpha\r\nIDS_B=beta\r\n");
  Write("cn", "[StrRes]\r\nIDS_A=\xE7\x94\xB2\r\nIDS_B=\xE4\xB9\x99\r\n");
  std::atomic<int> bad{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        std::string a = LoadStr((i + t) % 2 ? "IDS_A" : "ids_a");
        std::string b = LoadStr("IDS_B");
        if (a != "alpha" && a != "\xE7\x94\xB2") ++bad;
        if (b != "beta" && b != "\xE4\xB9\x99") ++bad;
      }
    });
  }
  for (int i = 0; i < 100; ++i) SetLanguage(i % 2 ? "en" : "cn");
  for (auto& w : workers) w.join();
  EXPECT_EQ(bad.load(), 0);
  SetLanguage("cn");
  EXPECT_EQ(LoadStr("IDS_A"), "\xE7\x94\xB2");  // nothing of the other language left cached
}

}  // namespace
}  // namespace kestrova
