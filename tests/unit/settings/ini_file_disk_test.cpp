// TIniFile on a POSIX file system: replacing, permissions, links, unreadable files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <functional>

#include "core/settings/ini_file.h"
#include "unit/settings/temp_dir.h"

namespace kestrova {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

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
