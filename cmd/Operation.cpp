#include "cmd/Operation.h"

#include "cmd/Progress.h"
#include "cmd/Session.h"
#include "platform/Messages.h"

#include <algorithm>

namespace zk::cmd {
namespace {

// How long unloading waits for a worker that is asked to stop (one
// transaction with all its repetitions ends well within this).
constexpr uint32_t kShutdownWaitMs = 30000;

}  // namespace

ResultCode OperationWorker::Start(OperationRoutine routine, WorkerThreadInfo* info) {
  uint64_t generation = 0;
  {
    std::lock_guard lock(startMutex_);
    generation = ++started_;
    progress_ = 0;
  }
  thread_.Start(
      [this, generation, routine = std::move(routine), caller = GetCurrentThreadId()] {
        const WorkerEnd end = routine(caller);
        if (end.code() == kOk) {
          std::lock_guard lock(startMutex_);
          if (started_ == generation) progress_ = progress::kDone;
        }
        return end.code();
      },
      info);
  return kOk;
}

void OperationWorker::SetProgress(uint32_t percent) { progress_ = std::min<uint32_t>(percent, 100); }

void OperationWorker::ShutDown() { thread_.ShutDown(kShutdownWaitMs); }

void SetProgress(uint32_t percent) { CurrentSession().worker.SetProgress(percent); }

void PostWorkerEnd(ThreadId caller, ResultCode code) {
  PostThreadMessage(caller, kWorkerEndMessage, code, 0);
}

}  // namespace zk::cmd
