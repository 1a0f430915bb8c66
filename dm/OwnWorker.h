#pragma once
// Starting the data manager's own workers (load, save, program).
#include "common/Records.h"
#include "common/ResultCodes.h"
#include "common/WorkerThread.h"

namespace zk::dm {

// Sets progress to 0, clears the forwarded-operation mark and starts
// routine as the current worker; kOk. While an own worker still runs,
// kWorkerRunning and nothing is started: two workers would share the image.
ResultCode StartOwnWorker(WorkerThread::Routine routine, WorkerThreadInfo* info);

// Whether an own worker runs (the image is then in its hands).
bool OwnWorkerRunning();

}  // namespace zk::dm
