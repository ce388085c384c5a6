#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "core/i18n/lang.h"
#include "unit/settings/temp_dir.h"

namespace kestrova {
namespace {

using test::ReadBytes;
using test::TempDir;

const std::filesystem::path kLangSources = std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources" / "lang";

std::vector<std::string> Names(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(EmbeddedFiles, SameBytesAsTheSourcesInTheirOrder) {
  const std::vector<std::string> order = {"b5", "cn", "en", "pl", "kr"};
  std::vector<std::string> expected;
  for (const auto& code : order)
    if (std::filesystem::exists(kLangSources / (code + ".ini"))) expected.push_back(code);
  std::vector<std::string> codes;
  for (const auto& f : EmbeddedLanguageFiles()) {
    codes.push_back(f.code);
    EXPECT_EQ(f.bytes, ReadBytes(kLangSources / (std::string(f.code) + ".ini"))) << f.code;
  }
  EXPECT_EQ(codes, expected);
  EXPECT_EQ(codes.size(), 5u) << "a language file is missing from resources/lang";
}

class StrResTest : public ::testing::Test {
 protected:
  TempDir tmp;
  std::filesystem::path dir = tmp / "run" / "kestrova";

  void TearDown() override {
    SetCurrentLanguage("en");
    SetLanguageLocation({}, "kestrova");
  }
  std::vector<std::string> ExpectedNames() const {
    std::vector<std::string> names = {"in-use"};
    for (const auto& f : EmbeddedLanguageFiles()) names.push_back(std::string("kestrova.l") + f.code);
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(StrResTest, WritesThePrivateFolderAndRemovesItAtTheEnd) {
  {
    TStrRes res(dir, "kestrova");
    ASSERT_TRUE(res.Ok());
    EXPECT_EQ(res.Dir(), dir);
    EXPECT_EQ(LanguageDir(), dir);
    struct stat st {};
    ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(Names(dir), ExpectedNames());  // no temporary left
    for (const auto& f : EmbeddedLanguageFiles())
      EXPECT_EQ(ReadBytes(dir / (std::string("kestrova.l") + f.code)), f.bytes);
  }
  EXPECT_FALSE(std::filesystem::exists(dir));
  EXPECT_TRUE(std::filesystem::exists(dir.parent_path()));
}

TEST_F(StrResTest, EnglishTextsFromTheEmbeddedFiles) {
  if (!std::filesystem::exists(kLangSources / "en.ini") || !std::filesystem::exists(kLangSources / "cn.ini"))
    GTEST_SKIP() << "language files not there yet";
  TStrRes res(dir, "kestrova");
  SetLanguage("en");
  EXPECT_EQ(LoadStr("IDS_WZ"), "Wizard Mode");
  EXPECT_EQ(ReadFormString("Form_frmMain", "Caption"), "Kestrova");
  SetLanguage("cn");
  EXPECT_EQ(CurrentLanguage(), "cn");
  std::string cn = LoadStr("IDS_WZ");
  EXPECT_FALSE(cn.empty());
  EXPECT_NE(cn, "Wizard Mode");
}

TEST_F(StrResTest, FolderStaysWhileAnotherInstanceUsesIt) {
  auto first = std::make_unique<TStrRes>(dir, "kestrova");
  auto second = std::make_unique<TStrRes>(dir, "kestrova");
  ASSERT_TRUE(first->Ok());
  ASSERT_TRUE(second->Ok());
  EXPECT_EQ(second->Dir(), dir);
  first.reset();
  EXPECT_EQ(Names(dir), ExpectedNames());
  second.reset();
  EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(StrResTest, LeftoversOfAnEarlierRunAreReplacedAndRemoved) {
  std::filesystem::create_directories(dir / "sub");
  test::WriteBytes(dir / "kestrova.len", "stale");
  test::WriteBytes(dir / "part-1-0", "half");
  test::WriteBytes(dir / "sub" / "x", "x");
  ::chmod(dir.c_str(), 0555);  // even a folder of ours we may not write into is taken back
  {
    TStrRes res(dir, "kestrova");
    ASSERT_TRUE(res.Ok());
    EXPECT_EQ(res.Dir(), dir);
    struct stat st {};
    ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);  // made private again
    EXPECT_NE(ReadBytes(dir / "kestrova.len"), "stale");
  }
  EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(StrResTest, SymbolicLinkIsNotFollowed) {
  std::filesystem::path victim = tmp / "victim";
  std::filesystem::create_directories(victim);
  std::filesystem::create_directories(dir.parent_path());
  std::filesystem::create_directory_symlink(victim, dir);
  std::filesystem::path used;
  {
    TStrRes res(dir, "kestrova");
    ASSERT_TRUE(res.Ok());
    used = res.Dir();
    EXPECT_NE(used, dir);
    EXPECT_EQ(LanguageDir(), used);
    EXPECT_EQ(Names(used), ExpectedNames());
    EXPECT_TRUE(Names(victim).empty());
  }
  EXPECT_FALSE(std::filesystem::exists(used));
  EXPECT_TRUE(std::filesystem::is_symlink(dir));
  EXPECT_TRUE(std::filesystem::is_directory(victim));
}

TEST_F(StrResTest, FolderOfAnotherUserIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to hand a folder to another user";
  std::filesystem::create_directories(dir);
  ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
  std::filesystem::path used;
  {
    TStrRes res(dir, "kestrova");
    ASSERT_TRUE(res.Ok());
    used = res.Dir();
    EXPECT_NE(used, dir);
    EXPECT_TRUE(Names(dir).empty());
  }
  EXPECT_FALSE(std::filesystem::exists(used));
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}

// An instance that starts while the last one ends must keep its files, whatever the order in
// which the two meet: either the ending one sees the folder in use and leaves it, or the
// starting one notices that the folder it opened was removed and makes it anew.
TEST_F(StrResTest, StartingWhileTheLastInstanceEnds) {
  for (int round = 0; round < 20; ++round) {
    auto ending = std::make_unique<TStrRes>(dir, "kestrova");
    std::unique_ptr<TStrRes> starting;
    std::thread t([&] { starting = std::make_unique<TStrRes>(dir, "kestrova"); });
    ending.reset();
    t.join();
    ASSERT_TRUE(starting->Ok()) << "round " << round;
    EXPECT_EQ(starting->Dir(), dir);
    EXPECT_EQ(Names(dir), ExpectedNames()) << "round " << round;
    starting.reset();
    EXPECT_FALSE(std::filesystem::exists(dir));
  }
}

}  // namespace
}  // namespace kestrova
