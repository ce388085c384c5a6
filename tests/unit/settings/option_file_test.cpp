#include "core/settings/option_file.h"

#include <gtest/gtest.h>

#include "unit/settings/temp_dir.h"

namespace kestrova {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class OptionFileTest : public ::testing::Test {
 protected:
  TempDir tmp;
  std::filesystem::path program = tmp / "program";
  std::filesystem::path user = tmp / "home" / "config" / "kestrova";

  void SetUp() override { std::filesystem::create_directories(program); }
};

TEST_F(OptionFileTest, UserOverMachineOverDefault) {
  WriteBytes(program / "option.ini", "[Global]\r\nlan=cn\r\n[DevFind]\r\nadvmode=1\r\n");
  std::filesystem::create_directories(user);
  WriteBytes(user / "option.ini", "[global]\r\nLAN=en\r\n");
  TOptionFile opt("option.ini", program, user);
  EXPECT_EQ(opt.ReadString("Global", "lan", ""), "en");         // per-user value wins
  EXPECT_TRUE(opt.ReadBool("DevFind", "advmode", false));        // machine value over default
  EXPECT_EQ(opt.ReadString("Global", "missing", "def"), "def");  // default last
}

TEST_F(OptionFileTest, MachineValueUsedWithoutUserKey) {
  WriteBytes(program / "option.ini", "[Global]\r\nlan=cn\r\n");
  TOptionFile opt("option.ini", program, user);
  EXPECT_EQ(opt.ReadString("Global", "lan", ""), "cn");
}

TEST_F(OptionFileTest, MachineFileOnlyWhenPresentAtConstruction) {
  TOptionFile opt("option.ini", program, user);
  WriteBytes(program / "option.ini", "[Global]\r\nlan=cn\r\n");
  EXPECT_EQ(opt.ReadString("Global", "lan", "none"), "none");
  EXPECT_FALSE(opt.ReadBool("DevFind", "advmode", false));
}

TEST_F(OptionFileTest, WritesGoToTheUserFileOnly) {
  WriteBytes(program / "option.ini", "[Global]\r\nlan=cn\r\n");
  TOptionFile opt("option.ini", program, user);
  EXPECT_TRUE(std::filesystem::is_directory(user));  // made with its missing parents
  EXPECT_TRUE(opt.WriteString("Global", "lan", "kr"));
  EXPECT_TRUE(opt.WriteBool("DevFind", "advmode", true));
  EXPECT_EQ(opt.ReadString("Global", "lan", ""), "kr");
  EXPECT_EQ(opt.UserFilePath(), user / "option.ini");
  EXPECT_EQ(ReadBytes(user / "option.ini"), "[Global]\r\nlan=kr\r\n[DevFind]\r\nadvmode=1\r\n");
  EXPECT_EQ(ReadBytes(program / "option.ini"), "[Global]\r\nlan=cn\r\n");
  EXPECT_EQ(TOptionFile("option.ini", program, user).ReadString("Global", "lan", ""), "kr");
}

TEST_F(OptionFileTest, AUserFileThatCouldNotBeReadIsLeftAlone) {
  WriteBytes(program / "option.ini", "[Global]\r\nlan=cn\r\n");
  std::filesystem::create_directories(user);
  WriteBytes(user / "option.ini", "[Global]\r\nlan=kr\r\n");
  std::filesystem::resize_file(user / "option.ini", (64u << 20) + 1);
  TOptionFile opt("option.ini", program, user);
  EXPECT_TRUE(opt.UserFileReadFailed());
  EXPECT_EQ(opt.ReadString("Global", "lan", ""), "cn");  // the machine layer still answers
  EXPECT_FALSE(opt.WriteString("Global", "lan", "en"));
  EXPECT_FALSE(opt.WriteBool("DevFind", "advmode", true));
  EXPECT_EQ(std::filesystem::file_size(user / "option.ini"), (64u << 20) + 1);
}

TEST_F(OptionFileTest, EmptyUserFolderMeansProgramFolder) {
  WriteBytes(program / "option.ini", "[Global]\r\nlan=cn\r\n");
  TOptionFile opt("option.ini", program, {});
  EXPECT_EQ(opt.UserFilePath(), program / "option.ini");
  EXPECT_EQ(opt.ReadString("Global", "lan", ""), "cn");
  EXPECT_TRUE(opt.WriteString("Global", "lan", "pl"));
  EXPECT_EQ(opt.ReadString("Global", "lan", ""), "pl");
  EXPECT_EQ(ReadBytes(program / "option.ini"), "[Global]\r\nlan=pl\r\n");
}

}  // namespace
}  // namespace kestrova
