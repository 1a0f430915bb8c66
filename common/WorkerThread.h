#pragma once
// The current worker thread of a library. A thread-starting export sets the
// running mark and starts its routine on a new thread; callers poll Running()
// and Status(); a stop request is WM_QUIT posted to the worker, which looks
// for it at its check points (StopRequested) and then ends on its own.
//
// The library owns the worker's handle: it is released when the next worker
// starts or at ShutDown. A worker that ends after a newer one was started
// leaves the newer one's mark and status alone.
#include "common/Records.h"
#include "common/ResultCodes.h"
#include "platform/Threads.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace zk {

inline constexpr ResultCode kStopped = 0x7FFFFFFFu;

// The message an operation posts to the thread that started it where it
// says so: its result code in the first parameter.
inline constexpr uint32_t kWorkerEndMessage = 34;
void PostWorkerEnd(ThreadId caller, ResultCode code);

class WorkerThread {
 public:
  using Routine = std::function<ResultCode()>;

  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread() = default;

  // Sets the running mark and starts routine; its result (kFailed for
  // kStopped) becomes the status when it ends. When no thread can be created
  // the "Error creating thread" box is shown, the mark is cleared and the
  // status is kFailed; info then receives id 0 and a null handle.
  void Start(Routine routine, WorkerThreadInfo* info);

  bool Running() const { return running_.load() != 0; }
  ResultCode Status() const { return status_.load(); }

  // The current worker's progress in percent: 0 from its start, 100 once
  // it ends with kOk (unless a newer worker was started meanwhile), and
  // never lower during one worker: a smaller value is ignored.
  uint32_t Progress() const { return progress_.load(); }
  void SetProgress(uint32_t percent);

  // Posts WM_QUIT to the running worker and waits for it without a time
  // limit; the status is what the worker left. kFailed when none runs.
  ResultCode Stop();

  // Clears the running mark and leaves code as the status, as the end of
  // the current worker would; for an export that reports through the
  // status without starting a worker.
  void MarkEnded(ResultCode code);

  // For library unload: asks a running worker to stop, waits at most
  // waitMs for it and releases the handle (left open when the worker does
  // not end in time, so that nothing waits on a released handle).
  void ShutDown(uint32_t waitMs);

 private:
  struct Launch;
  static uint32_t Main(void* argument);
  void Finish(uint64_t generation, ResultCode code);
  void ReplaceCurrent(ThreadId id, ThreadHandle handle);

  std::atomic<uint32_t> running_{0};
  std::atomic<ResultCode> status_{kOk};
  std::mutex mutex_;  // orders a worker's end against the start of the next
  uint64_t generation_ = 0;
  std::atomic<ThreadId> currentId_{0};
  std::atomic<ThreadHandle> currentHandle_{nullptr};
  std::atomic<uint32_t> progress_{0};
};

// Check point of a worker: takes one pending message off the calling
// thread's queue; true when it was a stop request (WM_QUIT).
bool StopRequested();

}  // namespace zk
