// Quillrun --list-ports, --version and their command line.
#include "client/PortListing.h"
#include "runner/CommandLine.h"
#include "tests/e2e/Ser2netProcess.h"
#include "tests/platform/PlatformFileSupport.h"
#include "tests/runner/RunnerProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zk::runner {
namespace {

using com::PortSource;

TEST(RunnerPortListing, EachPortWithItsSourceAndStableNamesThenTheUnmappedNames) {
  com::PortListing listing;
  listing.ports.push_back({1, {"/dev/ttyS0", PortSource::Default}, "/dev/ttyS0", {}, {}});
  listing.ports.push_back(
      {3, {"/dev/serial/by-id/usb-A", PortSource::UserHive}, "/dev/ttyUSB0", {"/dev/serial/by-id/usb-A"}, {}});
  listing.ports.push_back({12, {"/tmp/sim", PortSource::Environment}, "/dev/pts/4", {}, {}});
  listing.ports.push_back({13, {"/dev/ttyACM0", PortSource::SettingsFile}, "/dev/ttyACM0", {}, {}});
  listing.ports.push_back({20, {"rfc2217://board:4000", PortSource::UserHive}, "rfc2217://board:4000", {}, true});
  listing.ports.push_back({21, {"rfc2217://gone:4001", PortSource::SettingsFile}, "rfc2217://gone:4001", {}, false});
  listing.unmapped.push_back({"/dev/serial/by-id/usb-B", "/dev/ttyUSB1"});
  EXPECT_EQ(client::FormatPortListing(listing),
            "COM1    /dev/ttyS0  (default)\n"
            "COM3    /dev/serial/by-id/usb-A -> /dev/ttyUSB0  (user hive Software\\Korvane\\Zelkor\\Ports)\n"
            "        /dev/serial/by-id/usb-A\n"
            "COM12   /tmp/sim -> /dev/pts/4  (ZELKOR_COM12)\n"
            "COM13   /dev/ttyACM0  ([Ports] of Zelkor.ini)\n"
            "COM20   rfc2217://board:4000  (user hive Software\\Korvane\\Zelkor\\Ports)  host answers\n"
            "COM21   rfc2217://gone:4001  ([Ports] of Zelkor.ini)  host does not answer\n"
            "Not named by any COM port (map one with ZELKOR_COMn, the user hive or [Ports]):\n"
            "        /dev/serial/by-id/usb-B -> /dev/ttyUSB1\n");
  EXPECT_EQ(client::FormatPortListing({}), "No COM port names a device that is there.\n");
}

TEST(RunnerPortListing, AModulesPortIsDescribedWithItsDeviceStableNameOrRemoteUrl) {
  namespace fs = std::filesystem;
  zk::test::TempDir dir;
  fs::create_directories(dir.File("by-id"));
  fs::create_symlink("/dev/null", dir.File("by-id/usb-Test_Adapter-if00-port0"));
  dir.Write("machine.reg", "");
  const zk::test::ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
  const zk::test::ScopedEnv machine("ZELKOR_MACHINE_REGISTRY", dir.File("machine.reg"));
  const auto describe = [&dir](const std::string& com, const std::optional<std::string>& mapping) {
    dir.Write("modul.ini", "[General]\nProtocolToUse=RS232\n[RS232]\nCOM=" + com + "\n");
    const zk::test::ScopedEnv env("ZELKOR_COM251", mapping);
    return client::DescribeModulePort(dir.File("modul.ini"), dir.File("by-id"));
  };
  EXPECT_EQ(describe("COM251", "/dev/null"),
            "COM251 is /dev/null (ZELKOR_COM251).\nStable name: " + dir.File("by-id/usb-Test_Adapter-if00-port0"));
  EXPECT_EQ(describe(" COM251 ", dir.File("by-id/usb-Test_Adapter-if00-port0")),
            "COM251 is " + dir.File("by-id/usb-Test_Adapter-if00-port0") + " (ZELKOR_COM251).\nDevice: /dev/null");
  EXPECT_EQ(describe("COM251", "rfc2217://board:4001"),
            "COM251 is the remote port rfc2217://board:4001 (ZELKOR_COM251).");
  EXPECT_EQ(describe("COM251", dir.File("gone")),
            "COM251 is " + dir.File("gone") + " (ZELKOR_COM251). " + dir.File("gone") + " is not there.");
  EXPECT_EQ(describe("COM0", std::nullopt), "COM0 is no COM port name (COM1 to COM256): the connect cannot open it.");
  EXPECT_EQ(describe("", std::nullopt), "The module description names no COM port.");
}

TEST(RunnerPortListing, TheOptionsAreOptionsNotScripts) {
  const char* argv[] = {"Quillrun", "--list-ports", "--version"};
  const CommandLine line = ParseCommandLine(3, argv);
  EXPECT_TRUE(line.listPorts);
  EXPECT_TRUE(line.version);
  EXPECT_FALSE(line.script);
  EXPECT_FALSE(line.error);
}

TEST(RunnerPortListing, TheProgramListsAMappedPortAndTellsItsVersion) {
  test::RunOptions options;
  options.args = {"--list-ports"};
  options.env["ZELKOR_COM250"] = "/dev/null";
  options.env["ZELKOR_COM251"] = "rfc2217://127.0.0.1:" + std::to_string(e2e::FreeTcpPort());
  const test::RunResult listed = test::RunQuillrun(options);
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_NE(listed.out.find("COM250  /dev/null  (ZELKOR_COM250)\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("COM251  " + *options.env["ZELKOR_COM251"] + "  (ZELKOR_COM251)  host does not answer\n"),
            std::string::npos)
      << listed.out;

  options.args = {"--version"};
  const test::RunResult version = test::RunQuillrun(options);
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("Quillrun (Zelkor) ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace zk::runner
