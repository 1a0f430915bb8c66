#include "platform/Messages.h"
#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace zk {
namespace {

// The test thread's own queue, emptied before and after each case.
class OwnQueue : public ::testing::Test {
 protected:
  void SetUp() override { Drain(); }
  void TearDown() override { Drain(); }

  static void Drain() {
    Msg msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  static bool Post(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
    return PostThreadMessage(GetCurrentThreadId(), message, wParam, lParam);
  }

  static uint32_t Take(uint32_t filterMin, uint32_t filterMax) {
    Msg msg;
    return PeekMessage(&msg, nullptr, filterMin, filterMax, PM_REMOVE) ? msg.message : 0;
  }
};

TEST_F(OwnQueue, OldestFirstAndNoRemoveLeavesIt) {
  ASSERT_TRUE(Post(WM_USER + 1, 1));
  ASSERT_TRUE(Post(WM_USER + 2, 2));
  Msg msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(OwnQueue, RangeFilterSkipsOthersAndQuitIsOrdinary) {
  ASSERT_TRUE(Post(5));
  ASSERT_TRUE(Post(WM_QUIT));
  ASSERT_TRUE(Post(WM_USER + 5));
  EXPECT_EQ(Take(WM_USER, WM_USER + 10), WM_USER + 5);
  EXPECT_EQ(Take(WM_USER, WM_USER + 10), 0u);
  EXPECT_EQ(Take(WM_QUIT + 1, 0x3FF), 0u);  // a range without 18 leaves WM_QUIT
  EXPECT_EQ(Take(WM_QUIT, WM_QUIT), WM_QUIT);
  EXPECT_EQ(Take(0, 0), 5u);
  EXPECT_EQ(Take(0, 0), 0u);
}

uint32_t FixedTick() { return 1234; }

TEST_F(OwnQueue, MessageCarriesItsParametersAndPostTime) {
  SetTickSource(&FixedTick);
  ASSERT_TRUE(Post(WM_USER, 0xDEADBEEF, -5));
  SetTickSource(nullptr);
  Msg msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.window, nullptr);
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(msg.wParam, 0xDEADBEEFu);
  EXPECT_EQ(msg.lParam, -5);
  EXPECT_EQ(msg.time, 1234u);
  EXPECT_FALSE(TranslateMessage(&msg));
}

TEST_F(OwnQueue, WaitForThreadMessageWakesOnPostAndTimesOut) {
  EXPECT_FALSE(WaitForThreadMessage(0));
  EXPECT_FALSE(WaitForThreadMessage(2));
  ASSERT_TRUE(Post(WM_USER));
  EXPECT_TRUE(WaitForThreadMessage(kInfinite));  // already there
  Drain();

  const ThreadId self = GetCurrentThreadId();
  std::thread poster([self] { PostThreadMessage(self, WM_USER + 9, 0, 0); });
  EXPECT_TRUE(WaitForThreadMessage(kInfinite));
  poster.join();
  EXPECT_EQ(Take(0, 0), WM_USER + 9);
}

TEST(ThreadQueues, PostNeedsAQueueAndFailsOnceTheThreadEnded) {
  std::promise<ThreadId> started;
  std::promise<void> peek;
  std::promise<void> peeked;
  std::promise<void> end;
  std::thread plain([&] {
    started.set_value(GetCurrentThreadId());
    peek.get_future().wait();
    Msg msg;
    PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);
    peeked.set_value();
    end.get_future().wait();
  });
  const ThreadId id = started.get_future().get();
  EXPECT_FALSE(PostThreadMessage(id, WM_USER, 0, 0));  // never peeked: no queue
  peek.set_value();
  peeked.get_future().wait();
  EXPECT_TRUE(PostThreadMessage(id, WM_USER, 0, 0));
  end.set_value();
  plain.join();
  EXPECT_FALSE(PostThreadMessage(id, WM_USER, 0, 0));

  EXPECT_FALSE(PostThreadMessage(0, WM_USER, 0, 0));
  EXPECT_FALSE(PostThreadMessage(0x7FFFFFFF, WM_USER, 0, 0));  // above any kernel id
}

TEST(ThreadQueues, PostToAnEndedCreatedThreadFails) {
  ThreadId id = 0;
  ThreadHandle handle = CreateThread([](void*) -> uint32_t { return 0; }, nullptr, &id);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(WaitForSingleObject(handle, kInfinite), kWaitObject0);
  EXPECT_FALSE(PostThreadMessage(id, WM_QUIT, 0, 0));
  CloseHandle(handle);
}

TEST(WindowMessages, SendMessageCallsTheRegisteredHandler) {
  int window = 0;
  WindowHandle handle = &window;
  EXPECT_EQ(SendMessage(handle, WM_USER, 1, 2), 0);

  RegisterWindow(handle, [](uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return static_cast<intptr_t>(message) + static_cast<intptr_t>(wParam) * 10 + lParam * 100;
  });
  EXPECT_EQ(SendMessage(handle, WM_USER, 1, 2), WM_USER + 10 + 200);

  RegisterWindow(handle, [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return -1; });
  EXPECT_EQ(SendMessage(handle, WM_USER, 1, 2), -1);

  // A handler may unregister its own window while it runs.
  RegisterWindow(handle, [handle](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    UnregisterWindow(handle);
    return 3;
  });
  EXPECT_EQ(SendMessage(handle, WM_USER, 0, 0), 3);
  EXPECT_EQ(SendMessage(handle, WM_USER, 0, 0), 0);
}

}  // namespace
}  // namespace zk
