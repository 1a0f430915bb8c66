#pragma once
// The polled state of the current worker, shared between the caller's
// thread and the worker thread.
#include "common/ResultCodes.h"
#include "platform/Threads.h"

#include <atomic>
#include <cstdint>

namespace zk::cmd {

struct WorkerState {
  std::atomic<uint32_t> progress{0};
  std::atomic<uint32_t> running{0};
  std::atomic<ResultCode> status{kOk};
  // The current worker; its handle is owned by this library.
  std::atomic<ThreadId> currentId{0};
  std::atomic<ThreadHandle> currentHandle{nullptr};
};

WorkerState& Worker();

}  // namespace zk::cmd
