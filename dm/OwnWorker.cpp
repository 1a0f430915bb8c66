#include "dm/OwnWorker.h"

#include "common/WorkerThread.h"
#include "dm/CommandLayer.h"
#include "dm/State.h"

namespace zk::dm {

ResultCode StartOwnWorker(WorkerThread::Routine routine, WorkerThreadInfo* info) {
  DmState& state = State();
  if (AnyWorkerRunning()) return kWorkerRunning;
  state.forwarded = 0;
  state.progressForwarded = 0;  // the worker frame sets progress 0 as it starts
  state.worker.Start(std::move(routine), info);
  return kOk;
}

bool OwnWorkerRunning() { return State().worker.Running(); }

bool AnyWorkerRunning() {
  if (OwnWorkerRunning()) return true;
  // Asked without the missing-function rule: a question of the data
  // manager's own must not release the library.
  const auto status = Cmd().Find<cmm::GetCurrentThreadStatusFn>("CmmGetCurrentThreadStatus");
  return status != nullptr && status() == kWorkerRunning;
}

}  // namespace zk::dm
