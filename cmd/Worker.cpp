#include "cmd/Worker.h"

#include "cmd/WorkerState.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"

#include <algorithm>
#include <memory>

namespace zk::cmd {
namespace {

// How long unloading waits for a worker that ignores its stop request (one
// transaction with all its repetitions ends well within this).
constexpr uint32_t kShutdownWaitMs = 30000;

// What a new worker thread receives: its own copy of the slot, so that the
// next call of the same export cannot change the arguments under it.
struct StartBlock {
  WorkerRoutine routine;
  ArgBlock args;
};

uint32_t WorkerMain(void* argument) {
  const std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
  const ArgBlock& args = start->args;
  Msg msg;
  // Own a message queue before anybody posts to it.
  PeekMessage(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

  const WorkerEnd end = start->routine(args);
  WorkerState& state = Worker();
  if (!end.stopped() && end.code() == kOk) state.progress = 100;
  const ResultCode code = end.stopped() ? kFailed : end.code();
  state.status = code;
  state.running = 0;
  return code;
}

void ReplaceCurrent(ThreadId id, ThreadHandle handle) {
  WorkerState& state = Worker();
  if (ThreadHandle old = state.currentHandle.exchange(handle)) CloseHandle(old);
  state.currentId = id;
}

}  // namespace

WorkerState& Worker() {
  static WorkerState state;
  return state;
}

ResultCode StartWorker(WorkerSlot& slot, uintptr_t first, uintptr_t second,
                       WorkerThreadInfo* info) {
  WorkerState& state = Worker();
  state.progress = 0;
  slot.args = ArgBlock{first, second, GetCurrentThreadId()};
  state.running = 1;

  ThreadId id = 0;
  auto start = std::make_unique<StartBlock>(StartBlock{slot.routine, slot.args});
  ThreadHandle handle = CreateThread(&WorkerMain, start.get(), &id);
  if (handle != nullptr) {
    start.release();  // the thread owns it now
  } else {
    MessageBox("Error creating thread", "", MB_OK);
    // A poller must not wait for a worker that never existed.
    state.status = kFailed;
    state.running = 0;
    id = 0;
  }
  if (info != nullptr) {
    info->threadId = id;
    info->threadHandle = handle;
  }
  ReplaceCurrent(id, handle);
  return kOk;
}

bool StopRequested() {
  Msg msg;
  if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&msg);
  return msg.message == WM_QUIT;
}

void SetProgress(uint32_t percent) { Worker().progress = std::min<uint32_t>(percent, 100); }

void PostWorkerEnd(const ArgBlock& args, ResultCode code) {
  PostThreadMessage(args.caller, kWorkerEndMessage, code, 0);
}

ResultCode StopCurrentWorker() {
  WorkerState& state = Worker();
  if (state.running == 0) return kFailed;
  PostThreadMessage(state.currentId, WM_QUIT, 0, 0);
  if (ThreadHandle handle = state.currentHandle) WaitForSingleObject(handle, kInfinite);
  ReplaceCurrent(0, nullptr);
  state.running = 0;
  return kOk;
}

void ShutDownWorkers() {
  WorkerState& state = Worker();
  ThreadHandle handle = state.currentHandle.exchange(nullptr);
  if (handle == nullptr) return;
  if (state.running != 0) {
    PostThreadMessage(state.currentId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(handle, kShutdownWaitMs) != kWaitObject0) {
      // The worker's code is about to go away under it; leaving its handle
      // open is the lesser harm than closing it while it runs.
      return;
    }
  }
  CloseHandle(handle);
  state.currentId = 0;
}

}  // namespace zk::cmd
