// The router list: which entries are offered, the download addresses and the version rule.
#include <gtest/gtest.h>

#include "core/router/router_list.h"

namespace kestrova::router {
namespace {

TIniFile List(const std::string& text) { return TIniFile::FromText(text); }

TEST(RouterList, OnlyEntriesWithANameInTheLanguageAndAPluginInsideTheFolderAreOffered) {
  const std::string sha(64, 'A');
  const TIniFile list = List(
      "[Router]\r\nCount=9\r\n"
      "RenName1=Alpha\r\nrpath1=alpha.so\r\n"
      "RcnName2=Beta only in cn\r\nrpath2=beta.so\r\n"
      "RenName3=Up\r\nrpath3=../up.so\r\n"
      "RenName4=Abs\r\nrpath4=/usr/lib/abs.so\r\n"
      "RenName5=Win\r\nrpath5=..\\\\win.dll\r\n"
      "RenName6=No file\r\n"
      "RenName7=Hashed\r\nrpath7=hashed.so\r\nsha256_7=x\r\nsha2567=" + sha + "\r\n"
      "RenName8=Bad hash\r\nrpath8=bad.so\r\nsha2568=1234\r\n"
      "RenName9=Dots\r\nrpath9=..\r\n");
  const auto en = LoadRouterList(list, "en");
  ASSERT_EQ(en.size(), 2u);
  EXPECT_EQ(en[0].index, 1);
  EXPECT_EQ(en[0].name, "Alpha");
  EXPECT_EQ(en[0].file, "alpha.so");
  EXPECT_EQ(en[0].sha256, "");
  EXPECT_EQ(en[1].index, 7);
  EXPECT_EQ(en[1].sha256, std::string(64, 'a'));
  const auto cn = LoadRouterList(list, "cn");
  ASSERT_EQ(cn.size(), 1u);
  EXPECT_EQ(cn[0].index, 2);
}

TEST(RouterList, PluginFileNames) {
  for (const char* ok : {"sample.so", "a b.dll", "x..so", ".hidden.so"}) EXPECT_TRUE(IsSafePluginFile(ok)) << ok;
  for (const char* bad : {"", ".", "..", "../x.so", "/abs.so", "sub/x.so", "..\\x.dll", "C:x.dll", "x\x01.so", "x\x7f.so"})
    EXPECT_FALSE(IsSafePluginFile(bad)) << bad;
}

TEST(RouterList, VersionsAndTheirComparisonAsTexts) {
  EXPECT_EQ(FormatFileVersion(0x0001000000000009ull), "1.0.0.9");
  EXPECT_EQ(FormatFileVersion(0xFFFF00020003000Aull), "65535.2.3.10");
  EXPECT_TRUE(VersionIsCurrent("1.0.0.9", "1.0.0.9"));
  EXPECT_TRUE(VersionIsCurrent("1.0.0.9", "1.0.0.10"));  // compared as texts: "9" > "1"
  EXPECT_FALSE(VersionIsCurrent("1.0.0.10", "1.0.0.9"));
  EXPECT_FALSE(VersionIsCurrent("", "1.0.0.1"));  // nothing installed
}

TEST(RouterList, Sha256Texts) {
  EXPECT_EQ(NormalizeSha256(std::string(32, 'F') + std::string(32, '0')), std::string(32, 'f') + std::string(32, '0'));
  EXPECT_FALSE(NormalizeSha256(std::string(63, 'a')));
  EXPECT_FALSE(NormalizeSha256(std::string(65, 'a')));
  EXPECT_FALSE(NormalizeSha256(std::string(63, 'a') + "g"));
}

}  // namespace
}  // namespace kestrova::router
