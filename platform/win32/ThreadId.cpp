#include "platform/Threads.h"

#include "platform/win32/Windows.h"

namespace zk {

ThreadId GetCurrentThreadId() { return static_cast<ThreadId>(::GetCurrentThreadId()); }

}  // namespace zk
