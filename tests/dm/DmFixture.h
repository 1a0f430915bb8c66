#pragma once
// The data manager bound to a scripted command layer, with a module
// description, settings file and flash description files of its own in a
// temporary directory.
#include "common/DmApi.h"
#include "dm/CommandLayer.h"
#include "dm/State.h"
#include "platform/Ini.h"
#include "platform/Library.h"
#include "platform/Threads.h"
#include "tests/dm/fakecmd/FakeCmd.h"
#include "tests/support/Entry.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zk::dm::test {

// The controls of a scripted command layer library.
class FakeCmd {
 public:
  explicit FakeCmd(const char* path) : library_(LoadLibrary(path)) {
    EXPECT_NE(library_, nullptr) << LastLibraryError();
    reset = Get<decltype(reset)>("FakeCmdReset");
    setResult = Get<decltype(setResult)>("FakeCmdSetResult");
    scriptResults = Get<decltype(scriptResults)>("FakeCmdScriptResults");
    callCount = Get<decltype(callCount)>("FakeCmdCallCount");
    getCall = Get<decltype(getCall)>("FakeCmdGetCall");
    scriptFlashLibs = Get<decltype(scriptFlashLibs)>("FakeCmdScriptFlashLibs");
    setSectorEntries = Get<decltype(setSectorEntries)>("FakeCmdSetSectorEntries");
    blocksOutstanding = Get<decltype(blocksOutstanding)>("FakeCmdBlocksOutstanding");
    setReadPattern = Get<decltype(setReadPattern)>("FakeCmdSetReadPattern");
    setThreadStatus = Get<decltype(setThreadStatus)>("FakeCmdSetThreadStatus");
    setProgress = Get<decltype(setProgress)>("FakeCmdSetProgress");
    holdProgFlash = Get<decltype(holdProgFlash)>("FakeCmdHoldProgFlash");
    holding = Get<decltype(holding)>("FakeCmdHolding");
    reset();
  }
  ~FakeCmd() { FreeLibrary(library_); }
  FakeCmd(const FakeCmd&) = delete;
  FakeCmd& operator=(const FakeCmd&) = delete;

  std::vector<FakeCmdCall> Calls(const std::string& name = "") const {
    std::vector<FakeCmdCall> calls;
    FakeCmdCall call{};
    for (size_t i = 0; getCall(i, &call) != 0; ++i) {
      if (name.empty() || name == call.name) calls.push_back(call);
    }
    return calls;
  }
  // Names of the calls, polling calls left out.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const FakeCmdCall& call : Calls()) {
      const std::string name = call.name;
      if (name != "CmmGetCurrentThreadStatus" && name != "CmmGetProgress") names.push_back(name);
    }
    return names;
  }
  void Results(const char* name, std::vector<uint32_t> results) { scriptResults(name, results.data(), results.size()); }

  void (*reset)() = nullptr;
  void (*setResult)(const char*, uint32_t) = nullptr;
  void (*scriptResults)(const char*, const uint32_t*, size_t) = nullptr;
  size_t (*callCount)() = nullptr;
  int (*getCall)(size_t, FakeCmdCall*) = nullptr;
  void (*scriptFlashLibs)(const FlashLibInfo*, size_t) = nullptr;
  void (*setSectorEntries)(uint16_t) = nullptr;
  size_t (*blocksOutstanding)() = nullptr;
  void (*setReadPattern)(const uint8_t*, size_t) = nullptr;
  void (*setThreadStatus)(uint32_t) = nullptr;
  void (*setProgress)(uint8_t) = nullptr;
  void (*holdProgFlash)(uint32_t) = nullptr;
  int (*holding)() = nullptr;

 private:
  template <typename Fn>
  Fn Get(const char* name) {
    return zk::test::Entry<Fn>(library_, name);
  }
  LibraryHandle library_;
};

using zk::test::TempDir;

// A field of a packed record by value: the matchers bind references, which
// a packed pointer field cannot give.
template <typename T>
T Copy(T value) {
  return value;
}

// Puts the library-wide state back to what a fresh load has.
inline void ResetDataManager() {
  ReleaseState();
  Cmd().Release();
  DmState& s = State();
  s.modulePath.clear();
  s.loggedIn = 0;
  s.currentBank = 0;
  s.currentFlash = FlashLibInfo{};
  s.window.start = 0;
  s.window.end = 0;
  s.image = MemoryImage{};
  s.readPermission = 0;
  s.protectionOverride = 0;
  s.forwarded = 0;
  s.progressForwarded = 0;
  s.settingsDirectory.clear();
}

// The flash of the examples: identification words {0x0001, 0x00BF, 0x2780, 0x0004}.
inline constexpr FlashLibInfo kFlash{{0x0001, 0x00BF, 0x2780, 0x0004}};
inline constexpr const char* kFlashFile = "FlashInfo/2780x00bfx0004.ini";

class DmTest : public ::testing::Test {
 protected:
  explicit DmTest(const char* fakePath = ZK_FAKE_CMD) : fake_(fakePath) {}

  void SetUp() override {
    ResetDataManager();
    State().settingsDirectory = dir_.Path();
    dir_.Write("Zelkor.ini", "[Paths]\r\nINIFilePath=FlashInfo\r\n");
    Module("");
  }
  void TearDown() override {
    WaitUntilIdle();
    ResetDataManager();
  }

  // A module description of the sections given, with CommandDll in
  // [General] and, when text has no [FlashConfig], one bank from 0 to
  // 0xFFFFFF.
  std::string Module(const std::string& text, const std::string& commandDll = "FakeCmd") {
    std::string content = text;
    if (text.find("[FlashConfig]") == std::string::npos) {
      content += "\r\n[FlashConfig]\r\nFlashStart=0x0\r\nFlashEnd=0xFFFFFF\r\nFlashMode=1\r\n";
    }
    modulePath_ = dir_.Write("modul.ini", content);
    if (!commandDll.empty()) {
      EXPECT_TRUE(ini::WriteString(modulePath_, "General", "CommandDll", commandDll));
    }
    return modulePath_;
  }
  // A flash description of the example flash.
  void FlashDescription(const std::string& content) { dir_.Write(kFlashFile, content); }

  void Login() {
    ASSERT_EQ(DmLogin(modulePath_.c_str(), nullptr, nullptr), kOk);
    fake_.reset();
  }

  // Loads the flash description as the current flash with the given blocks.
  void SelectFlash(const std::string& blocks, int blockCount) {
    FlashDescription("[General]\r\nNumberOfBlocks=" + std::to_string(blockCount) +
                     "\r\nFlashID=7\r\nFlashSize=65536\r\n" + blocks);
    State().currentFlash = kFlash;
  }

  static void WaitUntilIdle() {
    while (DmGetCurrentThreadStatus() == kWorkerRunning) Sleep(1);
  }
  // Waits for an own worker started by start and returns its status.
  static ResultCode Finish(uint32_t started) {
    EXPECT_EQ(started, kOk);
    WaitUntilIdle();
    return DmGetCurrentThreadStatus();
  }

  // Loads an image file of the given content; its status.
  ResultCode LoadFile(const std::string& content, uint32_t mode, const std::string& name = "image") {
    const std::string path = dir_.Write(name, content);
    return Finish(DmLoadFile(path.c_str(), mode, nullptr));
  }

  // The program requests sent: {address, bytes}.
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Requests() const {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> requests;
    for (const FakeCmdCall& call : fake_.Calls("CmmProgFlash")) {
      requests.emplace_back(call.args[0], std::vector<uint8_t>(call.data, call.data + call.args[1]));
    }
    return requests;
  }

  FakeCmd fake_;
  TempDir dir_;
  std::string modulePath_;
};

// The data manager bound to a command layer like this system's: it lacks
// CmmAddOwnPages and CmmProgStatusByte.
class LikeRealCommandLayer : public DmTest {
 protected:
  LikeRealCommandLayer() : DmTest(ZK_FAKE_CMD_LIKE_REAL) {}
  void SetUp() override {
    DmTest::SetUp();
    Module("", "FakeCmdLikeReal");
  }
};

}  // namespace zk::dm::test
