#include "tests/e2e/CommandLayer.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/platform/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace zk::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kHandshake = ModuleDescription("ZkSim-Handshake");
const std::string kDownload = ModuleDescription("ZkSim-Download");

uint32_t Password(CommandLayer& cmd, const std::string& text) {
  PasswordBlock block{static_cast<uint32_t>(text.size()), reinterpret_cast<const uint8_t*>(text.data())};
  return cmd.sendPassword(&block);
}

// A copy of a module description with one line replaced.
std::string EditedModule(const std::string& from, const fs::path& dir, const std::string& key,
                         const std::string& value) {
  std::ifstream in(from);
  std::stringstream text;
  text << in.rdbuf();
  const std::string edited =
      std::regex_replace(text.str(), std::regex("\\n" + key + "=[^\\n]*"), "\n" + key + "=" + value);
  const fs::path source = fs::path(from).parent_path();
  for (const auto& entry : fs::directory_iterator(source)) {
    fs::copy(entry.path(), dir / entry.path().filename(), fs::copy_options::overwrite_existing);
  }
  std::ofstream(dir / "modul.ini") << edited;
  return (dir / "modul.ini").string();
}

TEST(LoginEndToEnd, HandshakeLoginPasswordAndExit) {
  ModSimProcess sim;
  ASSERT_TRUE(sim.Running());
  CommandLayer cmd;
  LoginInfo info{};
  ASSERT_EQ(cmd.Login(kHandshake, &info), 0u);
  EXPECT_EQ(info.word, 0x0301);
  EXPECT_EQ(info.bytes[0], 3);
  EXPECT_EQ(info.bytes[1], 1);
  EXPECT_EQ(info.bytes[2], 7);
  EXPECT_EQ(cmd.checkOld(), 0u);
  EXPECT_EQ(Password(cmd, "wrong"), 0x90u);
  EXPECT_EQ(Password(cmd, "zelkor"), 0u);
  ExitRequest exit{0, 0};
  EXPECT_EQ(cmd.exit(&exit), 0u);
}

TEST(LoginEndToEnd, ALostDeviceEndsTheRunningReadAtOnceAndTheNextLoginWorks) {
  std::optional<ModSimProcess> sim(std::in_place, std::vector<std::string>{"--baud-emulation"});
  ASSERT_TRUE(sim->Running());
  const std::string device = sim->PortPath();
  CommandLayer cmd;
  ASSERT_EQ(cmd.Login(kHandshake), 0u);
  test::MessageBoxRecorder boxes;
  std::vector<uint8_t> out(0x10000);  // some seconds on the emulated line
  ReadRequest request{0, static_cast<uint32_t>(out.size())};
  ReadResult result{0, out.data()};
  cmd.readFlash(&request, &result, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  sim.reset();  // the device goes away
  const auto lost = std::chrono::steady_clock::now();
  EXPECT_NE(cmd.WaitWorker(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - lost, std::chrono::milliseconds(1500));
  ExitRequest exit{0, 0};
  cmd.exit(&exit);
  EXPECT_NE(std::find(boxes.texts.begin(), boxes.texts.end(), "connection to " + device + " lost"), boxes.texts.end());

  sim.emplace();
  ASSERT_TRUE(sim->Running());
  EXPECT_EQ(cmd.Login(kHandshake), 0u);
  EXPECT_EQ(cmd.exit(&exit), 0u);
}

TEST(LoginEndToEnd, DownloadLoginRunsTheBootAndFlashFiles) {
  ModSimProcess sim;
  ASSERT_TRUE(sim.Running());
  CommandLayer cmd;
  ASSERT_EQ(cmd.Login(kDownload), 0u);
  EXPECT_EQ(cmd.checkOld(), 0u);
  ExitRequest exit{0, 0};
  EXPECT_EQ(cmd.exit(&exit), 0u);
  // The module is back in its boot loader: a second connection works.
  ASSERT_EQ(cmd.Login(kDownload), 0u);
}

TEST(LoginEndToEnd, EveryExitModeLeavesTheModuleReadyForTheNextLogin) {
  ModSimProcess sim;
  ASSERT_TRUE(sim.Running());
  CommandLayer cmd;
  for (uint8_t mode : {0, 1, 2, 3}) {
    ASSERT_EQ(cmd.Login(kHandshake), 0u) << "before mode " << int(mode);
    ExitRequest exit{mode, 0x1000};
    EXPECT_EQ(cmd.exit(&exit), 0u) << "mode " << int(mode);
  }
}

TEST(LoginEndToEnd, OldFirmwareIsReported) {
  ModSimProcess sim({"--set", "Firmware.OldFirmware=1"});
  CommandLayer cmd;
  ASSERT_EQ(cmd.Login(kHandshake), 0u);
  EXPECT_EQ(cmd.checkOld(), kOldFirmware);
}

TEST(LoginEndToEnd, AModuleWithoutBootLoaderIs177) {
  ModSimProcess sim({"--fault", "handshake-echo@*"});
  CommandLayer cmd;
  EXPECT_EQ(cmd.Login(kHandshake), kBootLoaderNotActive);
}

TEST(LoginEndToEnd, AMissingBootFileIs224) {
  ModSimProcess sim;
  const std::string module = EditedModule(kDownload, sim.Dir(), "BootFile", "Absent.bin");
  CommandLayer cmd;
  EXPECT_EQ(cmd.Login(module), kFileNotFound);
}

TEST(LoginEndToEnd, APortThatDoesNotExistIs228) {
  setenv("ZELKOR_COM1", "/nonexistent/zelkor-port", 1);
  CommandLayer cmd;
  EXPECT_EQ(cmd.Login(kHandshake), kComPortOpen);
  unsetenv("ZELKOR_COM1");
}

}  // namespace
}  // namespace zk::e2e
