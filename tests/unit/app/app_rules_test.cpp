#include "core/app/app_rules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace kestrova {
namespace {

TEST(OnlineCdAddress, RewritesPerLanguage) {
  struct Case {
    const char* value;
    const char* lang;
    const char* expected;
  } cases[] = {
      {"http://host/cd/index_cn.htm", "en", "http://host/cd/index_en.htm"},
      {"http://host/cd/index_cn.htm", "cn", "http://host/cd/index_cn.htm"},
      {"http://host/cd/index_cn.htm", "b5", "http://host/cd/index_b5.htm"},
      {"http://host/cd/index.htm", "en", "http://host/cd/index.htm"},
      {"http://host/cd/index.htm", "cn", "http://host/cd/index.htm"},
      // every occurrence, case-sensitive
      {"http://h/a_cn.d/b_cn.htm", "pl", "http://h/a_pl.d/b_pl.htm"},
      {"http://h/index_CN.htm", "en", "http://h/index_CN.htm"},
      // the language is trimmed; only the exact code "cn" keeps the value
      {"http://h/index_cn.htm", " kr ", "http://h/index_kr.htm"},
      {"http://h/index_cn.htm", "cn ", "http://h/index_cn.htm"},
      {"_cn._cn.", "en", "_en._en."},
      {"", "en", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OnlineCdAddress(c.value, c.lang), c.expected) << c.value << " / " << c.lang;
}

TEST(LanguageCodeOfFile, TakesTheExtension) {
  EXPECT_EQ(LanguageCodeOfFile("/tmp/kestrova.len"), "en");
  EXPECT_EQ(LanguageCodeOfFile("/tmp/kestrova.lb5"), "b5");
  // folder names with ".l" do not matter: the code comes from the file extension
  EXPECT_EQ(LanguageCodeOfFile("/tmp/my.lfolder/x.lang/kestrova.lkr"), "kr");
  EXPECT_EQ(LanguageCodeOfFile("/tmp/kestrova.ini"), "");
  EXPECT_EQ(LanguageCodeOfFile("/tmp/kestrova"), "");
}

TEST(StartLanguage, StoredDefaultAndFallBack) {
  auto has = [](const std::string& c) { return c == "en" || c == "cn" || c == "b5"; };
  EXPECT_EQ(StartLanguage("pl", "cn", has), "pl");
  EXPECT_EQ(StartLanguage("xx", "cn", has), "xx");  // a stored code is taken as it stands
  EXPECT_EQ(StartLanguage("", "cn", has), "cn");
  EXPECT_EQ(StartLanguage("", "fr", has), "en");
}

class LanguageFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kestrova_app_rules_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::filesystem::path dir_;
};

TEST_F(LanguageFolder, KeepsFilesThatNameTheCurrentLanguage) {
  Write("k.len", "[Global]\r\nName_en=English\r\nName_cn=Chinese\r\n");
  Write("k.lcn", "[Global]\r\nName_en=E\r\nName_cn=C\r\n");
  Write("k.lpl", "[Global]\r\nName_en=\r\nName_cn=C\r\n");  // empty name: dropped under en
  Write("k.lkr", "[Other]\r\nName_en=x\r\n");               // no Global section
  Write("k.ini", "[Global]\r\nName_en=x\r\n");              // not a language file
  Write(".lock", "");
  Write(".k.len.tmp-1-0", "[Global]\r\nName_en=x\r\n");
  std::filesystem::create_directory(dir_ / "sub.lxx");

  auto files = ListLanguageFiles(dir_, "en");
  std::vector<std::string> names;
  for (auto& f : files) names.push_back(f.filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"k.lcn", "k.len"}));

  files = ListLanguageFiles(dir_, "cn");
  names.clear();
  for (auto& f : files) names.push_back(f.filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"k.lcn", "k.len", "k.lpl"}));
}

TEST_F(LanguageFolder, MissingFolderGivesNoFiles) {
  EXPECT_TRUE(ListLanguageFiles(dir_ / "absent", "en").empty());
}

}  // namespace
}  // namespace kestrova
