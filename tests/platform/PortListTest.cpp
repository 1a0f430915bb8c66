#include "platform/PortList.h"

#include "platform/Registry.h"
#include "tests/platform/PlatformFileSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace zk::com {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

const ListedPort* Find(const PortListing& listing, unsigned port) {
  const auto it = std::find_if(listing.ports.begin(), listing.ports.end(),
                               [port](const ListedPort& listed) { return listed.port == port; });
  return it == listing.ports.end() ? nullptr : &*it;
}

class PortListTest : public ::testing::Test {
 protected:
  PortListTest() {
    fs::create_directories(dir_.File("by-id"));
    fs::create_directories(dir_.File("tty"));
    dir_.Write("machine.reg", "");
  }

  PortListing List() { return ListPorts(dir_.File("by-id"), dir_.File("tty")); }

  test::TempDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.File("config")};
  ScopedEnv machine_{"ZELKOR_MACHINE_REGISTRY", dir_.File("machine.reg")};
  ScopedEnv com200_{"ZELKOR_COM200", std::nullopt};
  ScopedEnv com201_{"ZELKOR_COM201", std::nullopt};
  ScopedEnv com202_{"ZELKOR_COM202", std::nullopt};
};

TEST_F(PortListTest, MappedDevicesWithTheirStableNamesAndTheStableNamesLeftOver) {
#ifdef _WIN32
  GTEST_SKIP() << "the stable names are the symbolic links of /dev/serial/by-id, which are Linux's";
#endif
  fs::create_symlink("/dev/null", dir_.File("sim-port"));
  fs::create_symlink("/dev/null", dir_.File("by-id/usb-Test_Adapter_A1-if00-port0"));
  fs::create_symlink("/dev/zero", dir_.File("by-id/usb-Other_Adapter_B2-if00-port0"));
  fs::create_symlink(dir_.File("gone"), dir_.File("by-id/usb-Unplugged-if00-port0"));
  ScopedEnv mapped("ZELKOR_COM200", dir_.File("sim-port"));
  ScopedEnv missing("ZELKOR_COM201", dir_.File("no-such-device"));
  ScopedEnv notDevice("ZELKOR_COM202", dir_.File("machine.reg"));
  ASSERT_TRUE(reg::SetString(reg::Hive::CurrentUser, kUserPortsKey, "COM199", "/dev/null"));

  const PortListing listing = List();
  const ListedPort* port = Find(listing, 200);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->mapping.device, dir_.File("sim-port"));
  EXPECT_EQ(port->mapping.source, PortSource::Environment);
  EXPECT_EQ(port->device, "/dev/null");
  EXPECT_EQ(port->stableNames, std::vector<std::string>{dir_.File("by-id/usb-Test_Adapter_A1-if00-port0")});
  ASSERT_NE(Find(listing, 199), nullptr);
  EXPECT_EQ(Find(listing, 199)->mapping.source, PortSource::UserHive);
  EXPECT_EQ(Find(listing, 201), nullptr);  // nothing there
  EXPECT_EQ(Find(listing, 202), nullptr);  // not a device
  EXPECT_TRUE(std::is_sorted(listing.ports.begin(), listing.ports.end(),
                             [](const ListedPort& a, const ListedPort& b) { return a.port < b.port; }));

  ASSERT_EQ(listing.unmapped.size(), 1u);  // the dangling link is no device
  EXPECT_EQ(listing.unmapped[0].link, dir_.File("by-id/usb-Other_Adapter_B2-if00-port0"));
  EXPECT_EQ(listing.unmapped[0].device, "/dev/zero");
}

TEST_F(PortListTest, ADefaultPortWithoutAUartIsLeftOut) {
  struct stat info {};
  if (::stat("/dev/ttyS0", &info) != 0 || !S_ISCHR(info.st_mode)) GTEST_SKIP() << "no /dev/ttyS0 here";
  fs::create_directories(dir_.File("tty/ttyS0"));
  dir_.Write("tty/ttyS0/type", "0\n");
  EXPECT_EQ(Find(List(), 1), nullptr);

  dir_.Write("tty/ttyS0/type", "4\n");
  const PortListing listing = List();
  ASSERT_NE(Find(listing, 1), nullptr);
  EXPECT_EQ(Find(listing, 1)->mapping.source, PortSource::Default);

  // Named on purpose, the placeholder is listed all the same.
  dir_.Write("tty/ttyS0/type", "0\n");
  ASSERT_TRUE(reg::SetString(reg::Hive::CurrentUser, kUserPortsKey, "COM1", "/dev/ttyS0"));
  EXPECT_NE(Find(List(), 1), nullptr);
}

}  // namespace
}  // namespace zk::com
