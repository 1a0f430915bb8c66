#include "platform/Messages.h"
#include "platform/Threads.h"
#include "tests/platform/KernelThreadId.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace zk {
namespace {

// Runs until WM_QUIT arrives and ends with its wParam.
uint32_t RunUntilQuit(void*) {
  for (;;) {
    WaitForThreadMessage(kInfinite);
    Msg msg;
    if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT) {
      return static_cast<uint32_t>(msg.wParam);
    }
  }
}

struct SeenIds {
  std::atomic<ThreadId> reported{0};
  std::atomic<long> kernel{0};
};

uint32_t RecordIds(void* argument) {
  auto* seen = static_cast<SeenIds*>(argument);
  seen->reported = GetCurrentThreadId();
  seen->kernel = test::KernelThreadId();
  return 0;
}

TEST(Threads, IdsAreKernelThreadIds) {
  SeenIds seen;
  ThreadId id = 0;
  ThreadHandle handle = CreateThread(&RecordIds, &seen, &id);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(WaitForSingleObject(handle, kInfinite), kWaitObject0);
  EXPECT_EQ(seen.reported.load(), id);
  EXPECT_EQ(static_cast<ThreadId>(seen.kernel.load()), id);
  EXPECT_GT(seen.kernel.load(), 0);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), static_cast<ThreadId>(test::KernelThreadId()));
  EXPECT_TRUE(CloseHandle(handle));
}

TEST(Threads, WaitTimesOutWhileRunningAndExitCodeOutlivesThread) {
  ThreadId id = 0;
  ThreadHandle handle = CreateThread(&RunUntilQuit, nullptr, &id);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(WaitForSingleObject(handle, 0), kWaitTimeout);
  EXPECT_EQ(WaitForSingleObject(handle, 2), kWaitTimeout);
  uint32_t code = 0;
  ASSERT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, kStillActive);

  ASSERT_TRUE(PostThreadMessage(id, WM_QUIT, 7, 0));
  EXPECT_EQ(WaitForSingleObject(handle, kInfinite), kWaitObject0);
  EXPECT_EQ(WaitForSingleObject(handle, 0), kWaitObject0);
  ASSERT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, 7u);

  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(WaitForSingleObject(handle, 0), kWaitFailed);
  EXPECT_FALSE(GetExitCodeThread(handle, &code));
  EXPECT_FALSE(CloseHandle(handle));
}

TEST(Threads, UnknownHandlesFail) {
  uint32_t code = 0;
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), kWaitFailed);
  EXPECT_FALSE(GetExitCodeThread(nullptr, &code));
  EXPECT_FALSE(CloseHandle(nullptr));
  auto* madeUp = reinterpret_cast<ThreadHandle>(uintptr_t{0x12345678});
  EXPECT_EQ(WaitForSingleObject(madeUp, 0), kWaitFailed);
  EXPECT_FALSE(CloseHandle(madeUp));

  ThreadId id = 99;
  EXPECT_EQ(CreateThread(nullptr, nullptr, &id), nullptr);
  EXPECT_EQ(id, 0u);
}

struct Gate {
  std::promise<void> open;
  std::promise<void> finished;
};

uint32_t WaitForGateThenQuit(void* argument) {
  auto* gate = static_cast<Gate*>(argument);
  gate->open.get_future().wait();
  const uint32_t code = RunUntilQuit(nullptr);
  gate->finished.set_value();
  return code;
}

TEST(Threads, ClosedHandleLeavesThreadRunning) {
  Gate gate;
  std::future<void> finished = gate.finished.get_future();
  ThreadId id = 0;
  ThreadHandle handle = CreateThread(&WaitForGateThenQuit, &gate, &id);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(CloseHandle(handle));
  // The queue stays with the thread, not with the handle.
  EXPECT_TRUE(PostThreadMessage(id, WM_QUIT, 0, 0));
  gate.open.set_value();
  finished.wait();
}

uint32_t FirstMessageAfterGate(void* argument) {
  static_cast<std::promise<void>*>(argument)->get_future().wait();
  Msg msg;
  return PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE) ? msg.message : 0;
}

TEST(Threads, MessagePostedAtStartIsKept) {
  std::promise<void> gate;
  ThreadId id = 0;
  ThreadHandle handle = CreateThread(&FirstMessageAfterGate, &gate, &id);
  ASSERT_NE(handle, nullptr);
  // The thread has not looked at its queue yet.
  EXPECT_TRUE(PostThreadMessage(id, WM_USER + 3, 0, 0));
  gate.set_value();
  ASSERT_EQ(WaitForSingleObject(handle, kInfinite), kWaitObject0);
  uint32_t code = 0;
  ASSERT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, WM_USER + 3);
  CloseHandle(handle);
}

uint32_t WaitForOwnHandle(void* argument) {
  ThreadHandle own = static_cast<std::promise<ThreadHandle>*>(argument)->get_future().get();
  return WaitForSingleObject(own, kInfinite);
}

TEST(Threads, WaitingForItselfFails) {
  std::promise<ThreadHandle> own;
  ThreadHandle handle = CreateThread(&WaitForOwnHandle, &own, nullptr);
  ASSERT_NE(handle, nullptr);
  own.set_value(handle);
  ASSERT_EQ(WaitForSingleObject(handle, kInfinite), kWaitObject0);
  uint32_t code = 0;
  ASSERT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, kWaitFailed);
  CloseHandle(handle);
}

TEST(Threads, SeveralThreadsWaitForOne) {
  ThreadId id = 0;
  ThreadHandle target = CreateThread(&RunUntilQuit, nullptr, &id);
  ASSERT_NE(target, nullptr);
  auto waitForTarget = [](void* argument) -> uint32_t {
    return WaitForSingleObject(static_cast<ThreadHandle>(argument), kInfinite);
  };
  ThreadHandle first = CreateThread(waitForTarget, target, nullptr);
  ThreadHandle second = CreateThread(waitForTarget, target, nullptr);
  ASSERT_TRUE(PostThreadMessage(id, WM_QUIT, 0, 0));
  for (ThreadHandle waiter : {first, second}) {
    ASSERT_EQ(WaitForSingleObject(waiter, kInfinite), kWaitObject0);
    uint32_t code = 1;
    ASSERT_TRUE(GetExitCodeThread(waiter, &code));
    EXPECT_EQ(code, kWaitObject0);
    CloseHandle(waiter);
  }
  CloseHandle(target);
}

}  // namespace
}  // namespace zk
