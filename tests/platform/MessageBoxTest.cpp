#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

namespace zk {
namespace {

class RecordingHandler : public MessageBoxHandler {
 public:
  explicit RecordingHandler(int answer) : answer_(answer) {}

  int Show(std::string_view text, std::string_view caption, uint32_t type) override {
    shownOn = GetCurrentThreadId();
    lastBox = std::string(caption) + "|" + std::string(text) + "|" + std::to_string(type);
    ++shows;
    return answer_;
  }

  void Wake() override {
    if (wakes++ == 0) firstWake_.set_value();
  }

  void AwaitWake() { woken_.wait(); }

  std::atomic<ThreadId> shownOn{0};
  std::atomic<int> shows{0};
  std::atomic<int> wakes{0};
  std::string lastBox;  // read only after the asking thread has its answer

 private:
  const int answer_;
  std::promise<void> firstWake_;
  std::shared_future<void> woken_ = firstWake_.get_future().share();
};

class MessageBoxes : public ::testing::Test {
 protected:
  void TearDown() override { SetMessageBoxHandler(nullptr, false); }

  // A worker that asks one question; its answer lands in answer_.
  std::thread AskOnWorker(std::string text, std::string caption, uint32_t type) {
    return std::thread([this, text, caption, type] { answer_ = MessageBox(text, caption, type); });
  }

  std::atomic<int> answer_{0};
};

constexpr uint32_t kQuestion = MB_YESNO | MB_ICONQUESTION;

uint32_t AskYesNo(void*) { return static_cast<uint32_t>(MessageBox("Erase all sectors?", "Flash", kQuestion)); }

TEST(MessageBoxDefaults, ConsoleAnswers) {
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_OK), IDOK);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_RETRYCANCEL), IDCANCEL);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNO), IDNO);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_ABORTRETRYIGNORE), IDABORT);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNO | MB_ICONWARNING), IDNO);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_OK | MB_ICONERROR), IDOK);
}

TEST_F(MessageBoxes, WithoutHandlerTheTextGoesToStandardError) {
  ::testing::internal::CaptureStderr();
  const int answer = MessageBox("Port busy", "KORCmd", MB_OKCANCEL | MB_ICONERROR);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "KORCmd: Port busy\n");
  EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(MessageBoxes, DirectHandlerRunsOnTheAskingThread) {
  RecordingHandler handler(IDYES);
  SetMessageBoxHandler(&handler, false);
  ThreadId id = 0;
  ThreadHandle worker = CreateThread(&AskYesNo, nullptr, &id);
  ASSERT_EQ(WaitForSingleObject(worker, kInfinite), kWaitObject0);
  uint32_t answer = 0;
  ASSERT_TRUE(GetExitCodeThread(worker, &answer));
  CloseHandle(worker);
  EXPECT_EQ(answer, static_cast<uint32_t>(IDYES));
  EXPECT_EQ(handler.shownOn.load(), id);
  EXPECT_EQ(handler.lastBox, "Flash|Erase all sectors?|" + std::to_string(kQuestion));
  EXPECT_EQ(handler.wakes.load(), 0);
}

TEST_F(MessageBoxes, OwnerAsksDirectly) {
  RecordingHandler handler(IDRETRY);
  SetMessageBoxHandler(&handler, true);
  EXPECT_EQ(MessageBox("Line error", "Link", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(handler.shownOn.load(), GetCurrentThreadId());
  EXPECT_EQ(handler.wakes.load(), 0);
  EXPECT_EQ(ServeMessageBoxRequests(), 0);
}

TEST_F(MessageBoxes, WorkerIsAnsweredWhileTheOwnerWaitsForIt) {
  RecordingHandler handler(IDYES);
  SetMessageBoxHandler(&handler, true);
  ThreadHandle worker = CreateThread(&AskYesNo, nullptr, nullptr);
  ASSERT_NE(worker, nullptr);
  // The worker cannot end before its question is answered on this thread.
  ASSERT_EQ(WaitForSingleObject(worker, kInfinite), kWaitObject0);
  uint32_t answer = 0;
  ASSERT_TRUE(GetExitCodeThread(worker, &answer));
  CloseHandle(worker);
  EXPECT_EQ(answer, static_cast<uint32_t>(IDYES));
  EXPECT_EQ(handler.shownOn.load(), GetCurrentThreadId());
  EXPECT_EQ(handler.shows.load(), 1);
  EXPECT_GE(handler.wakes.load(), 1);
}

TEST_F(MessageBoxes, WorkerIsAnsweredWhileTheOwnerWaitsForAMessage) {
  RecordingHandler handler(IDNO);
  SetMessageBoxHandler(&handler, true);
  const ThreadId owner = GetCurrentThreadId();
  std::atomic<int> answer{0};
  std::thread worker([&] {
    answer = MessageBox("Keep settings?", "Setup", MB_YESNOCANCEL);
    PostThreadMessage(owner, WM_USER, 0, 0);
  });
  while (!WaitForThreadMessage(kInfinite)) {
  }
  worker.join();
  Msg msg;
  EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_EQ(answer.load(), IDNO);
  EXPECT_EQ(handler.shownOn.load(), owner);
}

TEST_F(MessageBoxes, EventLoopServesAfterWake) {
  RecordingHandler handler(IDOK);
  SetMessageBoxHandler(&handler, true);
  std::thread worker = AskOnWorker("Done", "Download", MB_OK);
  handler.AwaitWake();
  std::thread stranger([] { EXPECT_EQ(ServeMessageBoxRequests(), 0); });
  stranger.join();
  EXPECT_EQ(ServeMessageBoxRequests(), 1);
  worker.join();
  EXPECT_EQ(answer_.load(), IDOK);
  EXPECT_EQ(ServeMessageBoxRequests(), 0);
}

TEST_F(MessageBoxes, QueuedRequestFollowsTheHandlerChange) {
  RecordingHandler handler(IDYES);
  SetMessageBoxHandler(&handler, true);
  std::thread worker = AskOnWorker("Erase?", "Flash", MB_YESNO);
  handler.AwaitWake();
  ::testing::internal::CaptureStderr();
  SetMessageBoxHandler(nullptr, false);  // the worker asks again, now on the console
  worker.join();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Flash: Erase?\n");
  EXPECT_EQ(answer_.load(), IDNO);
  EXPECT_EQ(handler.shows.load(), 0);
}

TEST_F(MessageBoxes, HandlerOfAnEndedOwnerIsDropped) {
  RecordingHandler handler(IDYES);
  std::thread owner([&] { SetMessageBoxHandler(&handler, true); });
  owner.join();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("Still there?", "Test", MB_YESNO), IDNO);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Test: Still there?\n");
  EXPECT_EQ(handler.shows.load(), 0);
}

}  // namespace
}  // namespace zk
