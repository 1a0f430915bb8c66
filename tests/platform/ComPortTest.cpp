#include "platform/ComPort.h"

#include "platform/Registry.h"
#include "tests/platform/PlatformFileSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace zk::com {
namespace {

using test::ScopedEnv;

TEST(ComPortName, OnlyTheExactSpelling) {
  EXPECT_EQ(ParsePortName("COM1"), 1u);
  EXPECT_EQ(ParsePortName("COM256"), 256u);
  for (const char* bad : {"COM0", "COM257", "com1", "Com1", "COM01", "COM", "COM1x", " COM1", "COM1 ", "COM+1", "COM-1",
                          "COM99999999999", "LPT1", ""}) {
    EXPECT_FALSE(ParsePortName(bad)) << '"' << bad << '"';
  }
}

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "Linux device names, mapped in the hive files the environment names; the Windows build maps "
                    "COMn in the system's registry";
#endif
  }
  ComPortTest() {
    std::filesystem::create_directory(dir_.File("install"));
    dir_.Write("machine.reg", "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=" +
                                  dir_.File("install") + "\n");
  }

  test::TempDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.File("config")};
  ScopedEnv machine_{"ZELKOR_MACHINE_REGISTRY", dir_.File("machine.reg")};
  ScopedEnv com3_{"ZELKOR_COM3", std::nullopt};
};

TEST_F(ComPortTest, DefaultDeviceAndRange) {
  EXPECT_EQ(DevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(DevicePath(3), "/dev/ttyS2");
  EXPECT_EQ(DevicePath(256), "/dev/ttyS255");
  EXPECT_FALSE(DevicePath(0));
  EXPECT_FALSE(DevicePath(257));
}

TEST_F(ComPortTest, EachSourceOverridesTheNext) {
  dir_.Write("install/ZELKOR.INI", "[ports]\ncom3 = /dev/ttyUSB7\nCOM4=\n");
  EXPECT_EQ(DevicePath(3), "/dev/ttyUSB7");
  EXPECT_EQ(DevicePath(4), "/dev/ttyS3");  // an empty entry is no entry

  ASSERT_TRUE(reg::SetString(reg::Hive::CurrentUser, kUserPortsKey, "COM3", "/dev/pts/9"));
  EXPECT_EQ(DevicePath(3), "/dev/pts/9");

  {
    ScopedEnv empty("ZELKOR_COM3", "");
    EXPECT_EQ(DevicePath(3), "/dev/pts/9");
  }
  ScopedEnv env("ZELKOR_COM3", "/tmp/sim-port");
  EXPECT_EQ(DevicePath(3), "/tmp/sim-port");
  EXPECT_EQ(DevicePath(2), "/dev/ttyS1");
}

TEST_F(ComPortTest, WithoutAnInstallationDirectoryTheProgramDirectoryIsUsed) {
  // The settings file of the old installation directory no longer counts.
  dir_.Write("install/Zelkor.ini", "[Ports]\nCOM3=/dev/ttyUSB7\n");
  dir_.Write("machine.reg", "");
  EXPECT_EQ(DevicePath(3), "/dev/ttyS2");
}

#ifdef _WIN32
// The system's registry: a value of the user's key maps a port before the
// default, the environment before both. The value is put back as it was.
TEST(ComPortOnWindows, TheUsersKeyMapsAPortAndTheEnvironmentComesFirst) {
  constexpr unsigned kPort = 250;
  const std::string name = "COM250";
  const std::string before = reg::QueryString(reg::Hive::CurrentUser, kUserPortsKey, name).value_or("");
  const std::shared_ptr<void> restore(
      nullptr, [&](void*) { reg::SetString(reg::Hive::CurrentUser, kUserPortsKey, name, before); });
  ScopedEnv unset("ZELKOR_COM250", std::nullopt);

  ASSERT_TRUE(reg::SetString(reg::Hive::CurrentUser, kUserPortsKey, name, ""));  // an empty value is no entry
  EXPECT_EQ(DevicePath(kPort), "\\\\.\\COM250");

  ASSERT_TRUE(reg::SetString(reg::Hive::CurrentUser, kUserPortsKey, name, "\\\\.\\COM20"));
  const std::optional<PortMapping> mapped = ResolvePort(kPort);
  ASSERT_TRUE(mapped);
  EXPECT_EQ(mapped->device, "\\\\.\\COM20");
  EXPECT_EQ(mapped->source, PortSource::UserHive);

  ScopedEnv env("ZELKOR_COM250", "\\\\.\\COM21");
  EXPECT_EQ(ResolvePort(kPort)->source, PortSource::Environment);
  EXPECT_EQ(DevicePath(kPort), "\\\\.\\COM21");
}
#endif

}  // namespace
}  // namespace zk::com
