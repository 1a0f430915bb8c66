#pragma once
// The worker model of the long operations: an export starts its routine on a
// new thread and returns at once; callers poll progress and status and may
// stop the worker, which sees the request at its next check point.
#include "common/Records.h"
#include "common/ResultCodes.h"
#include "platform/Threads.h"

#include <cstdint>

namespace zk::cmd {

// The message posted to the starting thread where an operation says so.
inline constexpr uint32_t kWorkerEndMessage = 34;

// The argument block of one thread-starting export; overwritten by the next
// call of the same export.
struct ArgBlock {
  uintptr_t first = 0;
  uintptr_t second = 0;
  ThreadId caller = 0;
};

// How a worker routine ended: with a result code, or abandoned at a check
// point because a stop request arrived.
class WorkerEnd {
 public:
  static WorkerEnd Done(ResultCode code) { return WorkerEnd(code, false); }
  static WorkerEnd Stopped() { return WorkerEnd(kFailed, true); }
  ResultCode code() const { return code_; }
  bool stopped() const { return stopped_; }

 private:
  WorkerEnd(ResultCode code, bool stopped) : code_(code), stopped_(stopped) {}
  ResultCode code_;
  bool stopped_;
};

using WorkerRoutine = WorkerEnd (*)(const ArgBlock& args);

// One per thread-starting export: its routine and its argument block.
struct WorkerSlot {
  WorkerRoutine routine = nullptr;
  ArgBlock args;
};

// Starts slot.routine with (first, second) on a new worker thread. Always
// returns kOk; a thread that cannot be created leaves status kFailed.
ResultCode StartWorker(WorkerSlot& slot, uintptr_t first, uintptr_t second,
                       WorkerThreadInfo* info);

// Check point of a running worker: takes one pending message off its queue;
// true when it was a stop request (WM_QUIT).
bool StopRequested();

// Sets the progress of the current worker (clamped to 0..100).
void SetProgress(uint32_t percent);

// Posts kWorkerEndMessage with code to the thread that started the worker.
void PostWorkerEnd(const ArgBlock& args, ResultCode code);

// Stops the current worker: posts WM_QUIT and waits for it to end. kFailed
// when no worker runs.
ResultCode StopCurrentWorker();

// Called when the library goes away: stops a worker that still runs and
// releases the handle the library owns.
void ShutDownWorkers();

}  // namespace zk::cmd
