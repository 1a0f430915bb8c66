#include "common/WorkerThread.h"

#include "platform/MessageBox.h"
#include "platform/Messages.h"

#include <algorithm>
#include <memory>

namespace zk {

namespace {

constexpr uint32_t kAllDone = 100;

}  // namespace

struct WorkerThread::Launch {
  WorkerThread* owner;
  uint64_t generation;
  Routine routine;
};

uint32_t WorkerThread::Main(void* argument) {
  const std::unique_ptr<Launch> launch(static_cast<Launch*>(argument));
  Msg msg;
  // Own a message queue before anybody posts to it.
  PeekMessage(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  const ResultCode result = launch->routine();
  const ResultCode code = result == kStopped ? kFailed : result;
  launch->owner->Finish(launch->generation, code);
  return code;
}

void WorkerThread::Finish(uint64_t generation, ResultCode code) {
  std::lock_guard lock(mutex_);
  if (generation != generation_) return;  // a newer worker is current
  if (code == kOk) progress_ = kAllDone;
  status_ = code;
  running_ = 0;
}

void WorkerThread::ReplaceCurrent(ThreadId id, ThreadHandle handle) {
  if (ThreadHandle old = currentHandle_.exchange(handle)) CloseHandle(old);
  currentId_ = id;
}

void WorkerThread::Start(Routine routine, WorkerThreadInfo* info) {
  uint64_t generation = 0;
  {
    std::lock_guard lock(mutex_);
    generation = ++generation_;
    running_ = 1;
    progress_ = 0;
  }
  auto launch = std::make_unique<Launch>(Launch{this, generation, std::move(routine)});
  ThreadId id = 0;
  ThreadHandle handle = CreateThread(&WorkerThread::Main, launch.get(), &id);
  if (handle != nullptr) {
    static_cast<void>(launch.release());  // the thread owns it now
  } else {
    MessageBox("Error creating thread", "", MB_OK);
    // A poller must not wait for a worker that never existed.
    Finish(generation, kFailed);
    id = 0;
  }
  if (info != nullptr) {
    info->threadId = id;
    info->threadHandle = handle;
  }
  ReplaceCurrent(id, handle);
}

void WorkerThread::SetProgress(uint32_t percent) {
  const uint32_t wanted = std::min(percent, kAllDone);
  uint32_t now = progress_.load();
  while (now < wanted && !progress_.compare_exchange_weak(now, wanted)) {
  }
}

ResultCode WorkerThread::Stop() {
  if (!Running()) return kFailed;
  PostThreadMessage(currentId_, WM_QUIT, 0, 0);
  if (ThreadHandle handle = currentHandle_) WaitForSingleObject(handle, kInfinite);
  ReplaceCurrent(0, nullptr);
  running_ = 0;
  return kOk;
}

void WorkerThread::MarkEnded(ResultCode code) {
  std::lock_guard lock(mutex_);
  status_ = code;
  running_ = 0;
}

void WorkerThread::ShutDown(uint32_t waitMs) {
  ThreadHandle handle = currentHandle_.exchange(nullptr);
  if (handle == nullptr) return;
  if (Running()) {
    PostThreadMessage(currentId_, WM_QUIT, 0, 0);
    if (WaitForSingleObject(handle, waitMs) != kWaitObject0) return;
  }
  CloseHandle(handle);
  currentId_ = 0;
}

void PostWorkerEnd(ThreadId caller, ResultCode code) { PostThreadMessage(caller, kWorkerEndMessage, code, 0); }

bool StopRequested() {
  Msg msg;
  if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&msg);
  return msg.message == WM_QUIT;
}

}  // namespace zk
