#include "core/settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <functional>

#include "unit/settings/temp_dir.h"

namespace kestrova {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

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

class IniOnDisk : public ::testing::Test {
 protected:
  TempDir tmp;
  std::filesystem::path file = tmp / "option.ini";

  // Runs fn in a child process that is not the superuser (nobody, when the test runs as root),
  // so that file permissions really apply; fn's result is the child's exit code (-1 when the
  // child did not end normally, 10 when it could not drop the superuser's rights).
  static int AsNobody(const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
      if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(10);
      ::_exit(fn());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  static constexpr uid_t kNobody = 65534;

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp.path())) names.push_back(e.path().filename());
    return names;
  }
};

TEST_F(IniOnDisk, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
  TIniFile ini(file);
  EXPECT_TRUE(ini.ReadSections().empty());
  EXPECT_EQ(ini.ReadString("Global", "lan", "def"), "def");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(ini.WriteString("Global", "lan", "pl"));
  EXPECT_EQ(ReadBytes(file), "[Global]\r\nlan=pl\r\n");
  EXPECT_EQ(TIniFile(file).ReadString("GLOBAL", "Lan", ""), "pl");
  EXPECT_EQ(Entries(), std::vector<std::string>{"option.ini"});  // no temporary left behind
}

TEST_F(IniOnDisk, RewriteReplacesTheFileInsteadOfTruncatingIt) {
  WriteBytes(file, "[Global]\nlan=cn\n");
  std::ifstream openedBefore(file, std::ios::binary);  // a reader holding the old file
  TIniFile ini(file);
  ASSERT_TRUE(ini.WriteString("Global", "lan", "b5"));
  std::string seen((std::istreambuf_iterator<char>(openedBefore)), std::istreambuf_iterator<char>());
  EXPECT_EQ(seen, "[Global]\nlan=cn\n");
  EXPECT_EQ(ReadBytes(file), "[Global]\r\nlan=b5\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"option.ini"});
}

TEST_F(IniOnDisk, RewriteKeepsPermissionsAndWritesThroughSymbolicLink) {
  WriteBytes(file, "[S]\nk=1\n");
  ::chmod(file.c_str(), 0640);
  std::filesystem::path link = tmp / "link.ini";
  std::filesystem::create_symlink(file, link);
  TIniFile ini(link);
  EXPECT_EQ(ini.ReadInteger("S", "k", 0), 1);
  ASSERT_TRUE(ini.WriteInteger("S", "k", 2));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=2\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Runs the write in a child process that is not the superuser, so that a read-only folder
// really refuses it. The child reports through its exit code.
TEST_F(IniOnDisk, FailedWriteLeavesOriginalAndKeepsMemory) {
  WriteBytes(file, "[S]\nk=old\n");
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(tmp.path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
  }
  ::chmod(tmp.path().c_str(), 0500);
  const int code = AsNobody([&] {
    TIniFile ini(file);
    int c = 0;
    if (ini.WriteString("S", "k", "new")) c |= 1;     // must fail
    if (ini.ReadString("S", "k", "") != "new") c |= 2;  // memory updated all the same
    return c;
  });
  ::chmod(tmp.path().c_str(), 0700);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(file), "[S]\nk=old\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"option.ini"});
}

// A settings file that exists but cannot be read is never replaced by the next write: one
// larger than the 64 MiB the reader takes, and one the user may not read (checked in a child
// process that is not the superuser, who could read it anyway).
TEST_F(IniOnDisk, FileThatCouldNotBeReadIsNeverWrittenOver) {
  {
    std::ofstream out(file, std::ios::binary);
    out << "[S]\nk=old\n";
  }
  std::filesystem::resize_file(file, (64u << 20) + 1);  // sparse: costs no disk
  {
    TIniFile ini(file);
    EXPECT_TRUE(ini.ReadFailed());
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
    EXPECT_FALSE(ini.WriteString("S", "k", "new"));
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");  // refused: nothing changed
    EXPECT_EQ(std::filesystem::file_size(file), (64u << 20) + 1);
    std::string head(10, '\0');
    std::ifstream(file, std::ios::binary).read(head.data(), 10);
    EXPECT_EQ(head, "[S]\nk=old\n");
  }

  WriteBytes(file, "[S]\nk=old\n");
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
  }
  ::chmod(file.c_str(), 0200);
  const int code = AsNobody([&] {
    TIniFile ini(file);
    int c = 0;
    if (!ini.ReadFailed()) c |= 1;
    if (ini.WriteString("S", "k", "new")) c |= 2;  // must be refused
    return c;
  });
  ::chmod(file.c_str(), 0600);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(file), "[S]\nk=old\n");

  // Once it reads again, writes go through.
  TIniFile ini(file);
  EXPECT_FALSE(ini.ReadFailed());
  EXPECT_TRUE(ini.WriteString("S", "k", "new"));
}

TEST_F(IniOnDisk, WriteIntoMissingFolderFails) {
  TIniFile ini(tmp / "absent" / "option.ini");
  EXPECT_FALSE(ini.WriteString("S", "k", "v"));
  EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
  EXPECT_FALSE(std::filesystem::exists(tmp / "absent"));
}

TEST_F(IniOnDisk, ReloadSeesChangesAndADirectoryReadsEmpty) {
  WriteBytes(file, "[S]\nk=1\n");
  TIniFile ini(file);
  WriteBytes(file, "[S]\nk=2\n");
  EXPECT_EQ(ini.ReadInteger("S", "k", 0), 1);
  EXPECT_TRUE(ini.Reload());
  EXPECT_EQ(ini.ReadInteger("S", "k", 0), 2);
  TIniFile dir(tmp.path());
  EXPECT_TRUE(dir.ReadSections().empty());
  EXPECT_TRUE(dir.ReadFailed());
  EXPECT_FALSE(dir.WriteString("S", "k", "v"));
}

}  // namespace
}  // namespace kestrova
