#pragma once
// Starting the data manager's own workers (load, save, program).
#include "common/Records.h"
#include "common/ResultCodes.h"
#include "common/WorkerThread.h"

namespace zk::dm {

// Sets progress to its start, clears the forwarded-operation mark and
// starts routine as the current worker; kOk. The routine's kStopped becomes
// the status kFailed when it ends (common/WorkerThread.h). While any worker
// still runs, kWorkerRunning and nothing is started: two workers would share
// the image.
ResultCode StartOwnWorker(WorkerThread::Routine routine, WorkerThreadInfo* info);

// Whether an own worker runs (the image is then in its hands).
bool OwnWorkerRunning();

// Whether an own worker or one of the command layer runs, whichever export
// started it; a command layer read fills the image's buffer while it runs.
bool AnyWorkerRunning();

}  // namespace zk::dm
