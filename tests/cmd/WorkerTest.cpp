#include "cmd/Session.h"
#include "common/CmmApi.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zk::cmd {
namespace {

// A worker that reports its progress in steps and can be held at each check
// point by the test.
struct Script {
  std::atomic<bool> release{false};
  std::atomic<uint32_t> progressBeforeWait{0};
  std::atomic<ResultCode> result{kOk};
  std::atomic<ThreadId> ranOn{0};
  std::atomic<bool> postEnd{false};
};
Script g_script;

WorkerEnd ScriptedRoutine(Session& session, uintptr_t first, ThreadId caller) {
  g_script.ranOn = GetCurrentThreadId();
  session.worker.SetProgress(g_script.progressBeforeWait);
  while (!g_script.release) {
    if (StopRequested()) return WorkerEnd::Stopped();
    Sleep(1);
  }
  if (StopRequested()) return WorkerEnd::Stopped();
  const ResultCode code = g_script.result + static_cast<ResultCode>(first);
  if (g_script.postEnd) PostWorkerEnd(caller, code);
  return WorkerEnd::Done(code);
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script.release = false;
    g_script.progressBeforeWait = 0;
    g_script.result = kOk;
    g_script.postEnd = false;
  }
  void TearDown() override {
    g_script.release = true;
    WaitUntilIdle();
  }
  static void WaitUntilIdle() {
    while (CmmGetCurrentThreadStatus() == kWorkerRunning) Sleep(1);
  }
  static void Start(uintptr_t first = 0, WorkerThreadInfo* info = nullptr) {
    Session& session = CurrentSession();
    ASSERT_EQ(session.worker.Start(
                  [&session, first](ThreadId caller) { return ScriptedRoutine(session, first, caller); }, info),
              kOk);
  }
};

TEST_F(WorkerTest, StatusIsRunningFromTheMomentTheExportReturns) {
  Start();
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kWorkerRunning);
  EXPECT_EQ(CmmGetProgress(), 0);
  g_script.release = true;
  WaitUntilIdle();
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kOk);
  EXPECT_EQ(CmmGetProgress(), 100);
}

TEST_F(WorkerTest, InfoNamesTheWorkerThread) {
  WorkerThreadInfo info{0, nullptr};
  Start(0, &info);
  g_script.release = true;
  ASSERT_NE(static_cast<void*>(info.threadHandle), nullptr);
  EXPECT_EQ(WaitForSingleObject(info.threadHandle, 5000), kWaitObject0);
  EXPECT_EQ(info.threadId, g_script.ranOn.load());
  EXPECT_NE(info.threadId, GetCurrentThreadId());
}

TEST_F(WorkerTest, FailedWorkerKeepsTheProgressItReached) {
  g_script.progressBeforeWait = 60;
  g_script.result = kReceiveTimeout;
  Start();
  g_script.release = true;
  WaitUntilIdle();
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kReceiveTimeout);
  EXPECT_EQ(CmmGetProgress(), 60);
}

TEST_F(WorkerTest, ArgumentsReachTheRoutine) {
  g_script.result = 10;
  Start(5);
  g_script.release = true;
  WaitUntilIdle();
  EXPECT_EQ(CmmGetCurrentThreadStatus(), 15u);
}

TEST_F(WorkerTest, StopTwiceGivesZeroThenOne) {
  g_script.progressBeforeWait = 30;
  Start();
  while (CmmGetProgress() != 30) Sleep(1);
  EXPECT_EQ(CmmStopCurrentThread(), 0u);
  EXPECT_EQ(CmmStopCurrentThread(), 1u);
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kFailed);
  EXPECT_EQ(CmmGetProgress(), 30);
}

TEST_F(WorkerTest, StopPostedBeforeTheFirstCheckPointIsHonoured) {
  g_script.progressBeforeWait = 7;
  Start();
  // Posted at once: the worker's queue exists before the export returns.
  EXPECT_EQ(CmmStopCurrentThread(), 0u);
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kFailed);
  EXPECT_LE(CmmGetProgress(), 7);
}

TEST_F(WorkerTest, StopWithoutWorkerDoesNothing) {
  EXPECT_EQ(CmmStopCurrentThread(), 1u);
  Start();
  g_script.release = true;
  WaitUntilIdle();
  EXPECT_EQ(CmmStopCurrentThread(), 1u);
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kOk);
}

TEST_F(WorkerTest, EndMessageReachesTheStartingThread) {
  Msg msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // the test thread's own queue, emptied of what earlier tests left
  }
  g_script.postEnd = true;
  g_script.result = kNotBlank;
  Start();
  g_script.release = true;
  WaitUntilIdle();
  ASSERT_TRUE(PeekMessage(&msg, nullptr, kWorkerEndMessage, kWorkerEndMessage, PM_REMOVE));
  EXPECT_EQ(msg.wParam, kNotBlank);
  EXPECT_EQ(msg.lParam, 0);
}

TEST_F(WorkerTest, OtherMessagesDoNotStopAWorker) {
  WorkerThreadInfo info{0, nullptr};
  Start(0, &info);
  EXPECT_TRUE(PostThreadMessage(info.threadId, WM_USER + 5, 0, 0));
  Sleep(20);
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kWorkerRunning);
  g_script.release = true;
  WaitUntilIdle();
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kOk);
}

// A routine still busy when the next one starts must not, by ending later,
// overwrite the newer one's status or progress, or mark it running again.
TEST(OperationWorker, ARoutineThatEndsLateLeavesTheNewerOneAlone) {
  constexpr ResultCode kNewer = 7;
  static OperationWorker worker;  // the late routine's end still touches it
  std::atomic<bool> release{false};
  std::atomic<bool> lateReturning{false};
  worker.Start(
      [&](ThreadId) {
        while (!release) Sleep(1);
        lateReturning = true;
        return WorkerEnd::Done(kOk);
      },
      nullptr);
  worker.Start([](ThreadId) { return WorkerEnd::Done(kNewer); }, nullptr);
  while (worker.Running()) Sleep(1);
  worker.SetProgress(42);
  worker.SetProgress(10);  // progress never falls during one worker

  release = true;
  while (!lateReturning) Sleep(1);
  Sleep(100);
  EXPECT_EQ(worker.Status(), kNewer);
  EXPECT_EQ(worker.Progress(), 42u);
  EXPECT_FALSE(worker.Running());
}

TEST(ImmediateExports, EndOfFlashAndProtectedAreas) {
  EXPECT_EQ(CmmSetEndOfFlash(0x7FFFF), 0);
  EXPECT_EQ(CurrentSession().settings.endOfFlash, 0x7FFFFu);
  EXPECT_EQ(CmmSetEndOfFlash(kEndOfFlashNotSet), 0);
  EXPECT_EQ(CurrentSession().settings.endOfFlash, kEndOfFlashNotSet);
  EXPECT_EQ(CmmEnableProtectedAreas(1), 0u);
  EXPECT_EQ(CurrentSession().settings.protectedAreasEnabled, 1u);
  EXPECT_EQ(CmmEnableProtectedAreas(0), 0u);
}

class FreeMemoryTest : public ::testing::TestWithParam<int> {};

TEST_P(FreeMemoryTest, ReleasingOneBlockKeepsTheOthersReleasable) {
  HandoutList& list = CurrentSession().handouts;
  list.ReleaseAll();
  void* blocks[3] = {list.Allocate(16), list.Allocate(8), list.Allocate(40)};
  const int first = GetParam();
  EXPECT_EQ(CmmFreeMemory(blocks[first]), 0u);
  EXPECT_EQ(CmmFreeMemory(blocks[first]), 1u);  // already released
  EXPECT_EQ(list.Count(), 2u);
  for (int i = 0; i < 3; ++i) {
    if (i == first) continue;
    EXPECT_EQ(CmmFreeMemory(blocks[i]), 0u) << i;
  }
  EXPECT_EQ(list.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(HeadMiddleTail, FreeMemoryTest, ::testing::Values(0, 1, 2));

TEST(FreeMemory, UnknownPointersAreRefused) {
  int local = 0;
  EXPECT_EQ(CmmFreeMemory(nullptr), 1u);
  EXPECT_EQ(CmmFreeMemory(&local), 1u);
}

TEST(ResultBlocks, BlocksAreZeroed) {
  auto* block = static_cast<unsigned char*>(CurrentSession().handouts.Allocate(64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(CmmFreeMemory(block), 0u);
}

}  // namespace
}  // namespace zk::cmd
