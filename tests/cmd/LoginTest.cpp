#include "cmd/BootLoader.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "platform/Threads.h"
#include "tests/cmd/BootPeer.h"
#include "tests/cmd/FakeNetFixture.h"
#include "tests/support/Env.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zk::cmd::test {
namespace {

namespace fs = std::filesystem;

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zk::test::SetEnv("XDG_CONFIG_HOME", dir_.string());
    guard_ = line_.Install();
    line_.peer = peer_.Peer();
    CurrentSession().bootTiming = line_.Timing();
    CurrentSession().pollPause = [] {};
    net_.Answer({0x01, 0x34, 0x12, 7, 8, 9});
  }
  void TearDown() override {
    CurrentSession().pollPause = nullptr;
    CurrentSession().bootTiming = BootTiming{};
    zk::test::UnsetEnv("XDG_CONFIG_HOME");
  }

  std::string Module(const std::string& protocolKeys, const std::string& bootKeys) {
    const fs::path path = dir_ / "modul.ini";
    std::ofstream(path) << "[General]\nProtocolToUse=RS232_Sim\n"
                        << "[RS232_Sim]\n"
                        << protocolKeys << "\n[Boot]\n"
                        << bootKeys << "\n"
                        << "[RS232]\nAutoBoot=0\n";
    return path.string();
  }
  static std::string Protocol(const std::string& extra = "") {
    return "DllName=FakeNet.dll\nCOM=COM1\nBaud=57600\n" + extra;
  }

  ResultCode Login(const std::string& module) {
    EXPECT_EQ(CmmLogin(module.c_str(), &info_, nullptr), 0u);
    uint32_t status;
    while ((status = CmmGetCurrentThreadStatus()) == kWorkerRunning) Sleep(1);
    return status;
  }

  zk::test::TempDir temp_{"zk-login"};
  fs::path dir_ = temp_.path();
  FakeLine line_;
  BootPeer peer_;
  std::shared_ptr<void> guard_;
  FakeNet net_;
  LoginInfo info_{};
};

TEST_F(LoginTest, HandshakeLoginBindsTheTransportAndReadsTheLoginAnswer) {
  const std::string module = Module(Protocol(), "Download=0");
  ASSERT_EQ(Login(module), kOk);
  EXPECT_EQ(CmmGetProgress(), 100);
  EXPECT_EQ(info_.word, 0x1234);
  EXPECT_EQ(info_.bytes[0], 7);
  EXPECT_EQ(info_.bytes[2], 9);
  EXPECT_EQ(line_.openedRate, 57600u);
  EXPECT_EQ(line_.openedPort, 1u);
  const FakeNetCounts c = net_.Counts();
  EXPECT_EQ(c.selectParams, 1);
  EXPECT_EQ(c.initialize, 1);
  EXPECT_EQ(c.lastInitMode, 0x80);
  EXPECT_EQ(net_.Request(), std::vector<uint8_t>{0x01});
  EXPECT_TRUE(CurrentSession().transport.Bound());
  EXPECT_EQ(CurrentSession().ModulePath(), module);

  ExitRequest exit{0, 0};
  EXPECT_EQ(CmmExitZelkor(&exit), 0u);
  EXPECT_FALSE(CurrentSession().transport.Bound());
  EXPECT_EQ(CurrentSession().ModulePath(), "");
}

TEST_F(LoginTest, AutoBaudRunsTheBootLoaderAtLowRateThenSwitches) {
  peer_.bootCodeSize = 8;
  std::ofstream(dir_ / "boot.bin", std::ios::binary)
      << std::string("\xB9\x0D\x00\x00\x00\x00\x00", 7) << std::string(8, 'B') << std::string("\0\x8A\0\0", 4);
  std::ofstream(dir_ / "FLASH.BIN", std::ios::binary)
      << std::string("\xB9\x07\x00\x00\x10\x00\x00", 7) << "FF" << std::string("\0\x8A\0\0", 4);
  const std::string module = Module(Protocol("AutoBaudRadu=1"), "Download=1\nBootFile=boot.bin\nFlashFile=FLASH.BIN");
  ASSERT_EQ(Login(module), kOk);
  EXPECT_EQ(line_.openedRate, 19200u);
  ASSERT_FALSE(peer_.frames.empty());
  EXPECT_EQ(peer_.frames[0], (std::vector<uint8_t>{0x07, 0x03}));
  EXPECT_EQ(CurrentSession().settings.autoBaud, 1u);
  ExitRequest exit{0, 0};
  CmmExitZelkor(&exit);
}

struct FailureCase {
  const char* name;
  std::string protocol;
  std::string boot;
  ResultCode expected;
};

class LoginFailure : public LoginTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LoginFailure, EndsWithItsCodeAndLeavesNoTransportBound) {
  const FailureCase& c = GetParam();
  EXPECT_EQ(Login(Module(c.protocol, c.boot)), c.expected);
  EXPECT_FALSE(CurrentSession().transport.Bound());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoginFailure,
    ::testing::Values(
        FailureCase{"NoDllName", "COM=COM1\nBaud=57600", "Download=0", kInvalidFileFormat},
        FailureCase{"NoSuchDll", "DllName=Absent.dll\nCOM=COM1\nBaud=57600", "Download=0", kNetDllNotLoaded},
        FailureCase{"NoDownloadKey", "DllName=FakeNet.dll\nCOM=COM1\nBaud=57600", "", kInvalidFileFormat},
        FailureCase{"NoCom", "DllName=FakeNet.dll\nBaud=57600", "Download=0", kInvalidFileFormat},
        FailureCase{"BadBaud", "DllName=FakeNet.dll\nCOM=COM1\nBaud=1234", "Download=0", kInvalidFileFormat},
        FailureCase{"NoBootFile", "DllName=FakeNet.dll\nCOM=COM1\nBaud=57600",
                    "Download=1\nBootFile=absent.bin\nFlashFile=absent.bin", kFileNotFound},
        FailureCase{"BootKeysMissing", "DllName=FakeNet.dll\nCOM=COM1\nBaud=57600", "Download=1\nBootFile=boot.bin",
                    kInvalidFileFormat}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoginTest, RefusedPortSettingsFailTheLogin) {
  net_.setSelectResult(0);
  EXPECT_EQ(Login(Module(Protocol(), "Download=0")), kFailed);
  EXPECT_EQ(net_.Counts().initialize, 0);
  EXPECT_FALSE(CurrentSession().transport.Bound());
}

TEST_F(LoginTest, NoLoginAnswerShutsTheLinkDownAgain) {
  net_.Statuses({249});
  EXPECT_EQ(Login(Module(Protocol(), "Download=0")), kReceiveTimeout);
  EXPECT_EQ(net_.Counts().shutDown, 1);
  EXPECT_FALSE(CurrentSession().transport.Bound());
}

TEST_F(LoginTest, AStopRightAfterTheStartEndsTheLogin) {
  const std::string module = Module(Protocol(), "Download=0");
  ASSERT_EQ(CmmLogin(module.c_str(), &info_, nullptr), 0u);
  // Against these fakes the whole login may be over before the request is
  // posted; either way the layer must be consistent afterwards.
  if (CmmStopCurrentThread() == 0u) {
    EXPECT_EQ(CmmGetCurrentThreadStatus(), kFailed);
    EXPECT_FALSE(CurrentSession().transport.Bound());
  } else {
    EXPECT_EQ(CmmGetCurrentThreadStatus(), kOk);
    ExitRequest exit{0, 0};
    EXPECT_EQ(CmmExitZelkor(&exit), 0u);
  }
  EXPECT_NE(CmmGetCurrentThreadStatus(), kWorkerRunning);
}

TEST_F(LoginTest, NoBootLoaderIs177) {
  peer_.echoIndexUnchanged = true;
  EXPECT_EQ(Login(Module(Protocol(), "Download=0")), kBootLoaderNotActive);
}

TEST_F(LoginTest, APortThatDoesNotOpenIs228) {
  line_.failOpen = true;
  EXPECT_EQ(Login(Module(Protocol(), "Download=0")), kComPortOpen);
}

}  // namespace
}  // namespace zk::cmd::test
