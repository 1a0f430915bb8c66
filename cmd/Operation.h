#pragma once
// The long operations of the command layer on the shared worker frame: an
// export starts its routine and returns at once; callers poll progress and
// status and may stop the routine, which sees the request at its next check
// point. A routine ends with a result or with a stop; the stop stays a stop
// until the worker turns it into the status callers see.
#include "common/Records.h"
#include "common/ResultCodes.h"
#include "common/WorkerThread.h"
#include "platform/Threads.h"

#include <cstdint>
#include <functional>

namespace zk::cmd {

// How a routine ended: with a result code, or abandoned at a check point
// because a stop request arrived (kStopped, which the worker frame turns into
// the status callers see).
class WorkerEnd {
 public:
  static WorkerEnd Done(ResultCode code) { return WorkerEnd(code); }
  static WorkerEnd Stopped() { return WorkerEnd(kStopped); }
  ResultCode code() const { return code_; }

 private:
  explicit WorkerEnd(ResultCode code) : code_(code) {}
  ResultCode code_;
};

// Receives the thread that started it.
using OperationRoutine = std::function<WorkerEnd(ThreadId caller)>;

class OperationWorker {
 public:
  // Starts routine on the worker frame, which keeps its progress (0 at
  // the start, 100 at a kOk end, never falling). Always kOk: a thread that
  // cannot be created leaves status kFailed.
  ResultCode Start(OperationRoutine routine, WorkerThreadInfo* info);

  bool Running() const { return thread_.Running(); }
  ResultCode Status() const { return thread_.Status(); }
  uint32_t Progress() const { return thread_.Progress(); }
  void SetProgress(uint32_t percent) { thread_.SetProgress(percent); }

  // Posts WM_QUIT to the running worker and waits for it; kFailed when
  // none runs.
  ResultCode Stop() { return thread_.Stop(); }
  void MarkEnded(ResultCode code) { thread_.MarkEnded(code); }
  // For library unload: stops a worker that still runs.
  void ShutDown();

 private:
  WorkerThread thread_;
};

}  // namespace zk::cmd
