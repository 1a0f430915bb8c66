#include "platform/Threads.h"

#include <unistd.h>

namespace zk {

// The kernel thread id.
ThreadId GetCurrentThreadId() {
  thread_local const ThreadId id = static_cast<ThreadId>(gettid());
  return id;
}

}  // namespace zk
