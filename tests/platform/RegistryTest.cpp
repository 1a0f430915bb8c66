#include "platform/Registry.h"

#include "platform/Files.h"
#include "tests/platform/PlatformFileSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace zk::reg {
namespace {

using test::ReadFile;
using test::ScopedEnv;

constexpr std::string_view kZelkor3 = "SOFTWARE\\Korvane\\Zelkor\\Zelkor3";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "the hive files of the Linux build; the Windows build uses the system's registry";
#endif
  }
  std::string UserHive() const { return dir_.File("config/zelkor/user.reg"); }
  std::string MachineHive() const { return dir_.File("machine.reg"); }

  test::TempDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.File("config")};
  ScopedEnv machine_{"ZELKOR_MACHINE_REGISTRY", dir_.File("machine.reg")};
};

TEST_F(RegistryTest, HiveFilesFollowTheEnvironment) {
  EXPECT_EQ(HiveFile(Hive::CurrentUser), UserHive());
  EXPECT_EQ(HiveFile(Hive::LocalMachine), MachineHive());
  {
    ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv home("HOME", dir_.File("home"));
    EXPECT_EQ(HiveFile(Hive::CurrentUser), dir_.File("home/.config/zelkor/user.reg"));
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");  // invalid, so ignored
    EXPECT_EQ(HiveFile(Hive::CurrentUser), dir_.File("home/.config/zelkor/user.reg"));
  }
  ScopedEnv noMachine("ZELKOR_MACHINE_REGISTRY", std::nullopt);
  EXPECT_EQ(HiveFile(Hive::LocalMachine),
            files::FindNoCase(files::HostProgramDir(), "machine.reg").value_or("/etc/zelkor/machine.reg"));
}

TEST_F(RegistryTest, MissingHiveOrValueIsAbsent) {
  EXPECT_FALSE(QueryString(Hive::CurrentUser, kZelkor3, "Win2KPatch"));
  EXPECT_FALSE(QueryDword(Hive::CurrentUser, kZelkor3, "Win2KPatch"));
  EXPECT_FALSE(InstallationDirectory());
  dir_.Write("machine.reg", "[Other]\nPATH=/x\n");
  EXPECT_FALSE(InstallationDirectory());
}

TEST_F(RegistryTest, SetCreatesTheHiveAndReadsBackIgnoringCase) {
  ASSERT_TRUE(SetDword(Hive::CurrentUser, kZelkor3, "Win2KPatch", 1));
  EXPECT_EQ(ReadFile(UserHive()), "[SOFTWARE\\Korvane\\Zelkor\\Zelkor3]\nWin2KPatch=1\n");
  EXPECT_EQ(QueryDword(Hive::CurrentUser, "software\\korvane\\zelkor\\ZELKOR3", "win2kpatch"), 1u);

  ASSERT_TRUE(SetString(Hive::CurrentUser, "Software\\Korvane\\Zelkor\\ZelkorGui\\User", "LastModule", "m1"));
  ASSERT_TRUE(SetDword(Hive::CurrentUser, kZelkor3, "WIN2KPATCH", 4294967295u));
  EXPECT_EQ(QueryDword(Hive::CurrentUser, kZelkor3, "Win2KPatch"), 4294967295u);
  EXPECT_EQ(QueryString(Hive::CurrentUser, "SOFTWARE\\KORVANE\\Zelkor\\ZelkorGui\\User", "lastmodule"), "m1");
  EXPECT_FALSE(QueryString(Hive::LocalMachine, kZelkor3, "Win2KPatch"));
}

TEST_F(RegistryTest, StringDataReadsBackExactly) {
  const std::string samples[] = {"  padded  ", "\"quoted\"", "\"", "a = b ; c", "", "C:\\Program Files\\Zelkor"};
  for (const std::string& data : samples) {
    ASSERT_TRUE(SetString(Hive::CurrentUser, "Key", "Value", data)) << data;
    EXPECT_EQ(QueryString(Hive::CurrentUser, "Key", "Value"), data);
  }
  EXPECT_FALSE(SetString(Hive::CurrentUser, "Key", "Value", "two\nlines"));
  EXPECT_EQ(QueryString(Hive::CurrentUser, "Key", "Value"), "C:\\Program Files\\Zelkor");
}

TEST_F(RegistryTest, DwordNeedsAWholeNumber) {
  dir_.Write("machine.reg",
             "[K]\n"
             "empty=\n"
             "text=abc\n"
             "partial=12abc\n"
             "negative=-1\n"
             "toolarge=4294967296\n"
             "blanks=  42  \n"
             "hex=0x10\n");
  for (const char* name : {"empty", "text", "partial", "negative", "toolarge", "missing"}) {
    EXPECT_FALSE(QueryDword(Hive::LocalMachine, "K", name)) << name;
  }
  EXPECT_EQ(QueryDword(Hive::LocalMachine, "k", "BLANKS"), 42u);
  EXPECT_EQ(QueryDword(Hive::LocalMachine, "K", "hex"), 16u);
}

TEST_F(RegistryTest, InstallationDirectoryFromAppPaths) {
  dir_.Write("machine.reg",
             "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\r\n"
             "PATH=/opt/zelkor\r\n");
  EXPECT_EQ(InstallationDirectory(), "/opt/zelkor");
  dir_.Write("machine.reg", "[software\\microsoft\\windows\\currentversion\\app paths\\zelkor3.EXE]\npath=\n");
  EXPECT_FALSE(InstallationDirectory());
}

TEST_F(RegistryTest, SetFailsWhereTheHiveCannotBeWritten) {
  dir_.Write("config", "a file where the directory should be");
  EXPECT_FALSE(SetDword(Hive::CurrentUser, kZelkor3, "Win2KPatch", 1));
  EXPECT_EQ(ReadFile(dir_.File("config")), "a file where the directory should be");
}

}  // namespace
}  // namespace zk::reg
