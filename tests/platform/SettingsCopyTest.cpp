// A settings write into a file of the installation goes to the user's copy
// of it; the installed file stays as it was and is read for every key the
// copy does not hold.
#include "platform/Ini.h"
#include "platform/SettingsCopy.h"
#include "platform/WriteWarning.h"
#include "tests/platform/MessageBoxRecorder.h"
#include "tests/platform/PlatformFileSupport.h"
#include "tests/support/Installation.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zk::ini {
namespace {

using test::ReadFile;
using test::ScopedEnv;

class SettingsCopyTest : public ::testing::Test {
 protected:
  SettingsCopyTest() { test::WriteMachineRegistry(dir_.File("machine.reg"), dir_.File("install")); }
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "the copies lie below %APPDATA%, which a test cannot move, and the test's folders are Linux "
                    "paths, which Windows does not take for a shared folder";
#endif
  }

  std::string Installed() {
    const std::string file = dir_.Write("install/target/M/modul.ini", "[RS232]\nCOM=COM1\nBaud=9600\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    return file;
  }

  test::TempDir dir_;
  ScopedEnv registry_{"ZELKOR_MACHINE_REGISTRY", dir_.File("machine.reg")};
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.File("config")};
  ScopedEnv shared_{"ZELKOR_SETTINGS_DIR", std::nullopt};
};

TEST_F(SettingsCopyTest, AWriteLandsInTheUsersCopyAndIsReadBeforeTheInstalledFile) {
  const std::string file = Installed();
  const std::string before = ReadFile(file);
  const std::string copy = dir_.File("config/zelkor/target/M/modul.ini");
  // Modul.ini: the spelling of the file that is there counts.
  const std::string named = dir_.File("install/target/M/Modul.ini");

  EXPECT_TRUE(WriteString(named, "RS232", "Baud", "9600"));  // already so: no copy
  EXPECT_FALSE(std::filesystem::exists(dir_.File("config/zelkor/target")));
  EXPECT_TRUE(WriteString(named, "RS232", "COM", "COM3"));
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(ReadFile(copy), "[RS232]\nCOM=COM3\n");
  EXPECT_EQ(GetString(file, "RS232", "COM", "", 10), "COM3");
  EXPECT_EQ(GetInt(file, "RS232", "Baud", 0), 9600);
  EXPECT_EQ(settings::WrittenFile(file), copy);
  // The installation spelt in other letters is the installation where the
  // file system ignores case, another folder where it does not.
  const std::string spelt = dir_.File("INSTALL/target/M/modul.ini");
#if defined(_WIN32)
  EXPECT_EQ(settings::WrittenFile(spelt), copy);
#else
  EXPECT_EQ(settings::WrittenFile(spelt), spelt);
#endif

  // Outside the installation a file is written as it is.
  const std::string own = dir_.Write("own/modul.ini", "[RS232]\nCOM=COM1\n");
  EXPECT_TRUE(WriteString(own, "RS232", "COM", "COM2"));
  EXPECT_EQ(ReadFile(own), "[RS232]\nCOM=COM2\n");
}

TEST_F(SettingsCopyTest, ASharedFolderTakesTheCopiesAndAFailedWriteNamesTheCopy) {
  const std::string file = Installed();
  ScopedEnv shared("ZELKOR_SETTINGS_DIR", dir_.File("lab"));
  EXPECT_TRUE(WriteString(file, "RS232", "COM", "COM4"));
  EXPECT_EQ(GetString(dir_.File("lab/target/M/modul.ini"), "RS232", "COM", "", 10), "COM4");

  // A folder that cannot take the copy (a file where its folder would be).
  const std::string before = ReadFile(file);
  dir_.Write("blocked/target", "");
  ScopedEnv blocked("ZELKOR_SETTINGS_DIR", dir_.File("blocked"));
  test::MessageBoxRecorder boxes;
  EXPECT_FALSE(ReportWrite(WriteString(file, "RS232", "COM", "COM5"), file));
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(boxes.texts[0].find(dir_.File("blocked/target/M/modul.ini")), std::string::npos);
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(GetString(file, "RS232", "COM", "", 10), "COM1");
}

}  // namespace
}  // namespace zk::ini
