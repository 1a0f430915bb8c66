#include "cmd/Operation.h"

namespace zk::cmd {
namespace {

// How long unloading waits for a worker that is asked to stop (one
// transaction with all its repetitions ends well within this).
constexpr uint32_t kShutdownWaitMs = 30000;

}  // namespace

ResultCode OperationWorker::Start(OperationRoutine routine, WorkerThreadInfo* info) {
  thread_.Start([routine = std::move(routine), caller = GetCurrentThreadId()] { return routine(caller).code(); }, info);
  return kOk;
}

void OperationWorker::ShutDown() { thread_.ShutDown(kShutdownWaitMs); }

}  // namespace zk::cmd
