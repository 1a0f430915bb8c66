// The data manager access class and the waiting loops, in this process,
// against the fake data managers of tests/support/fakedm.
#include "client/DmAccess.h"
#include "client/DmAccessReport.h"
#include "client/DmAccessWait.h"
#include "platform/Ini.h"
#include "tests/runner/RunnerFixture.h"
#include "tests/support/Env.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace zk {
namespace {

using runner::test::kFakeDmRoot;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using test::WriteMachineRegistry;

// Points the machine registry, the fake's configuration and its log at a
// temporary directory for one test.
class DmAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_ = dir_.Path() + "/machine.reg";
    config_ = dir_.Path() + "/fake.ini";
    WriteFile(config_, "[Fake]\n");
    Install("scripted");
    zk::test::SetEnv("ZELKOR_MACHINE_REGISTRY", registry_);
    zk::test::SetEnv("FAKE_DM_CONFIG", config_);
    zk::test::SetEnv("FAKE_DM_LOG", dir_.Path() + "/calls.log");
  }
  void TearDown() override {
    zk::test::UnsetEnv("ZELKOR_MACHINE_REGISTRY");
    zk::test::UnsetEnv("FAKE_DM_CONFIG");
    zk::test::UnsetEnv("FAKE_DM_LOG");
  }

  void Install(const std::string& fakeDir) {
    WriteMachineRegistry(registry_, std::string(kFakeDmRoot) + "/" + fakeDir);
  }
  void Fake(const std::string& key, const std::string& value) { ini::WriteString(config_, "Fake", key, value); }
  // Loads the fake into dm and starts programming; the worker runs polls
  // polls and answers stop requests with stopResults.
  void StartProgramming(client::CDmAccess& dm, const char* polls, const char* stopResults) {
    Fake("Polls", polls);
    Fake("StopResults", stopResults);
    ASSERT_TRUE(dm.Load("FakeDm"));
    ASSERT_EQ(dm.ProgFlash(0, nullptr), kOk);
  }
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> calls;
    std::stringstream in(ReadFile(dir_.Path() + "/calls.log"));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(prefix, 0) == 0) calls.push_back(line);
    }
    return calls;
  }

  TempDir dir_;
  std::string registry_;
  std::string config_;
};

TEST_F(DmAccessTest, WithoutALibraryTheWrappersGiveTheirCodes) {
  client::CDmAccess dm;
  EXPECT_FALSE(dm.Loaded());
  LoginInfo login{};
  ExitRequest exit{};
  SectorList list{};
  RangeRequest range{};
  EXPECT_EQ(dm.Login("x", &login, nullptr), kDmDllNotLoaded);
  EXPECT_EQ(dm.ExitZelkor(&exit), kDmDllNotLoaded);
  EXPECT_EQ(dm.CheckOldZelkor(), kDmDllNotLoaded);
  EXPECT_EQ(dm.EraseChip(&list), kDmDllNotLoaded);
  EXPECT_EQ(dm.EraseSectors(&range, &list, nullptr), kDmDllNotLoaded);
  EXPECT_EQ(dm.ProgFlash(0, nullptr), kDmDllNotLoaded);
  EXPECT_EQ(dm.FreeMemory(nullptr), kDmDllNotLoaded);
  EXPECT_EQ(dm.GetProgress(), 0u);
  EXPECT_EQ(dm.StopCurrentThread(), 0u);
  EXPECT_EQ(dm.GetCurrentThreadStatus(), 0u);
  EXPECT_EQ(dm.AddPages(), nullptr);
  dm.RemovePages();
}

TEST_F(DmAccessTest, AMissingExportGivesTheErrorCodeAndPollingGivesZero) {
  client::CDmAccess dm;
  ASSERT_TRUE(dm.Load("FakeDmPollOnly"));
  LoginInfo login{};
  EXPECT_EQ(dm.Login("x", &login, nullptr), kDmDllError);
  EXPECT_EQ(dm.CheckOldZelkor(), kDmDllError);
  EXPECT_EQ(dm.AddPages(), nullptr) << "no data manager offers pages";
  EXPECT_EQ(dm.GetCurrentThreadStatus(), 0u);
}

TEST_F(DmAccessTest, TheResourceVariantIsPreferred) {
  Install("with-resource");
  client::CDmAccess dm;
  ASSERT_TRUE(dm.Load("KORDm"));
  EXPECT_EQ(dm.GetProgress(), 2u) << "KORDmRES";
  Install("plain");
  client::CDmAccess other;
  ASSERT_TRUE(other.Load("KORDm.dll"));
  EXPECT_EQ(other.GetProgress(), 1u) << "KORDm";
}

TEST_F(DmAccessTest, LoadingTheSameLibraryAgainKeepsItAndReloadsNothing) {
  client::CDmAccess dm;
  dm.RememberFile("/images/Main.hex", 0);
  ASSERT_TRUE(dm.Load("FakeDm"));
  EXPECT_THAT(Calls("DmLoadFile"), ::testing::ElementsAre("DmLoadFile /images/Main.hex 0"))
      << "a newly loaded library loads the remembered file";
  const std::string path = dm.LibraryPath();
  ASSERT_TRUE(dm.Load("fakedm.DLL")) << "library names compare ignoring case";
  EXPECT_EQ(dm.LibraryPath(), path);
  EXPECT_EQ(Calls("DmLoadFile").size(), 1u);
  // The reload waited for its worker to end.
  EXPECT_EQ(dm.GetCurrentThreadStatus(), 0u);
}

TEST_F(DmAccessTest, ALibraryThatCannotBeLoadedLeavesNoneLoaded) {
  client::CDmAccess dm;
  ASSERT_TRUE(dm.Load("FakeDm"));
  EXPECT_FALSE(dm.Load("NoSuchDm"));
  EXPECT_FALSE(dm.Loaded());
  EXPECT_EQ(dm.CheckOldZelkor(), kDmDllNotLoaded);
}

TEST_F(DmAccessTest, WithoutTheInstallationDirectory) {
  test::RemoveMachineRegistry(registry_);
  client::CDmAccess runnerAccess(client::CDmAccess::MissingDirectory::kFail);
  EXPECT_FALSE(runnerAccess.Load("FakeDm")) << "the runner loads nothing";
  // The workbench looks beside its program, where no data manager is.
  client::CDmAccess workbenchAccess;
  EXPECT_FALSE(workbenchAccess.Load("FakeDm"));
}

class RecordingReporter : public client::ResultReporter {
 public:
  void ShowResult(std::string_view text, std::string_view caption) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
  }
  std::vector<std::string> shown;
};

TEST(FlashExceptionTest, ReportsTheCodesTextWithTheCaption) {
  RecordingReporter reporter;
  client::FlashException().Report(reporter, "Connect", kDmDllNotLoaded);
  client::FlashException().Report(reporter, "Download", kDmDllError);
  client::FlashException().Report(reporter, "Erase Chip", 0x1234);
  EXPECT_THAT(reporter.shown, ::testing::ElementsAre("Connect|Data modul dll not loaded.",
                                                     "Download|Error in data modul.", "Erase Chip|unknown error code"));
}

// A user interface whose events are scripted: a stop request after some
// polls, answers to the confirmation.
class ScriptedUi : public client::WaitUi {
 public:
  bool PumpOneEvent(client::EventFilter) override {
    ++pumps;
    return false;
  }
  bool TakeStopRequest() override { return pumps == stopAtPump; }
  void WaitForEvent(uint32_t milliseconds) override { waits.push_back(milliseconds); }
  void ShowProgress(uint32_t percent) override { progress.push_back(percent); }
  bool ConfirmStop() override {
    ++confirmations;
    return confirm;
  }
  void ShowStopRefused(std::string_view text) override { refusals.emplace_back(text); }

  int pumps = 0;
  int stopAtPump = -1;
  bool confirm = true;
  int confirmations = 0;
  std::vector<uint32_t> waits;
  std::vector<uint32_t> progress;
  std::vector<std::string> refusals;
};

TEST_F(DmAccessTest, TheWaitingLoopPausesBetweenPollsAndReportsTheStatus) {
  Fake("Polls", "3");
  Fake("LoadStatus", "80");
  Fake("Progress", "140");
  client::CDmAccess dm;
  ASSERT_TRUE(dm.Load("FakeDm"));
  ASSERT_EQ(dm.LoadFile("a.hex", 0, nullptr), kOk);
  ScriptedUi ui;
  client::WaitOptions options;
  options.pause = 7;
  const client::WaitOutcome outcome = client::WaitForWorker(dm, ui, options);
  EXPECT_EQ(outcome.end, client::WaitEnd::kEnded);
  EXPECT_EQ(outcome.status, 80u);
  EXPECT_THAT(ui.waits, ::testing::ElementsAre(7u, 7u, 7u)) << "one pause per poll that found it running";
  EXPECT_THAT(ui.progress, ::testing::Each(100u)) << "the bar never passes 100";
}

// Declines the first stop request and confirms the second.
class DecliningOnceUi : public ScriptedUi {
 public:
  bool TakeStopRequest() override { return pumps == 2 || pumps == 4; }
  bool ConfirmStop() override { return ++confirmations > 1; }
};

TEST_F(DmAccessTest, AStopRequestStopsTheWorkerOnceConfirmed) {
  client::CDmAccess dm;
  ASSERT_NO_FATAL_FAILURE(StartProgramming(dm, "-1", "5 0"));
  DecliningOnceUi ui;
  client::WaitOptions options;
  options.cancellable = true;
  options.confirmStop = true;
  options.pause = 0;
  const client::WaitOutcome outcome = client::WaitForWorker(dm, ui, options);
  EXPECT_EQ(outcome.end, client::WaitEnd::kStopped);
  EXPECT_EQ(ui.confirmations, 2);
  // The data manager refused the first stop: told, then asked again.
  ASSERT_EQ(ui.refusals.size(), 1u);
  EXPECT_THAT(ui.refusals[0], ::testing::StartsWith("ErrorCode: "));
  EXPECT_EQ(Calls("DmStopCurrentThread").size(), 2u);
  EXPECT_FALSE(client::WorkerRunning(dm.GetCurrentThreadStatus()));
}

TEST_F(DmAccessTest, AStopOfAWorkerThatEndedMeanwhileIsNotRepeated) {
  client::CDmAccess dm;
  ASSERT_NO_FATAL_FAILURE(StartProgramming(dm, "1", "1"));
  EXPECT_TRUE(client::WorkerRunning(dm.GetCurrentThreadStatus()));
  EXPECT_FALSE(client::WorkerRunning(dm.GetCurrentThreadStatus()));
  ScriptedUi ui;
  client::StopWorker(dm, ui, 0);
  EXPECT_THAT(ui.refusals, ::testing::IsEmpty());
  EXPECT_EQ(Calls("DmStopCurrentThread").size(), 1u);
}

}  // namespace
}  // namespace zk
