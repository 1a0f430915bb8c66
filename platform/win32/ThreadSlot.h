#pragma once
// Fiber-local storage slots: a pointer per thread, handed to the slot's
// destructor when the thread ends (with the system's loader lock not held).
#include <cstdint>

namespace zk::win32 {

using SlotDestructor = void (*)(void* value);

uint32_t NewThreadSlot(SlotDestructor destroy);
void* ThreadSlotValue(uint32_t slot);
void SetThreadSlotValue(uint32_t slot, void* value);

}  // namespace zk::win32
