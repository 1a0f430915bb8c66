#include "platform/win32/ThreadSlot.h"

#include "platform/win32/Windows.h"

namespace zk::win32 {

// The slots of the process are few and live as long as it does.
uint32_t NewThreadSlot(SlotDestructor destroy) { return ::FlsAlloc(destroy); }

void* ThreadSlotValue(uint32_t slot) { return ::FlsGetValue(slot); }

void SetThreadSlotValue(uint32_t slot, void* value) { ::FlsSetValue(slot, value); }

}  // namespace zk::win32
