#include "tests/platform/KernelThreadId.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zk::test {

long KernelThreadId() {
#ifdef _WIN32
  return static_cast<long>(::GetCurrentThreadId());
#else
  return static_cast<long>(::gettid());
#endif
}

}  // namespace zk::test
