#include "link/NetServices.h"

#include "platform/Threads.h"
#include "platform/Tick.h"

#include <cstdio>

namespace zk::link {

uint32_t SystemNetServices::Now() { return GetTickCount(); }

void SystemNetServices::Sleep(uint32_t ms) { zk::Sleep(ms); }

void SystemNetServices::Beep() {
  std::fputs("\a", stderr);
  std::fflush(stderr);
}

}  // namespace zk::link
