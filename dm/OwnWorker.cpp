#include "dm/OwnWorker.h"

#include "dm/State.h"

namespace zk::dm {

ResultCode StartOwnWorker(WorkerThread::Routine routine, WorkerThreadInfo* info) {
  DmState& state = State();
  if (state.worker.Running()) return kWorkerRunning;
  state.progress = 0;
  state.forwarded = 0;
  state.worker.Start(std::move(routine), info);
  return kOk;
}

bool OwnWorkerRunning() { return State().worker.Running(); }

}  // namespace zk::dm
