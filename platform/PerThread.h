#pragma once
// An object of each thread: made on its first use there and destroyed when
// the thread ends. Tag tells apart two objects of one type.
//
// On Windows it lives in a fiber-local storage slot, not in a thread_local:
// MinGW's emulated thread-local storage may free a thread_local's memory
// before the thread's destructors have run, which corrupts the heap when
// the destructor touches it.
#if defined(_WIN32)
#include "platform/win32/ThreadSlot.h"
#endif

namespace zk::detail {

template <class T, class Tag = T>
T& PerThread() {
#if defined(_WIN32)
  static const uint32_t slot = win32::NewThreadSlot([](void* value) { delete static_cast<T*>(value); });
  auto* value = static_cast<T*>(win32::ThreadSlotValue(slot));
  if (value == nullptr) {
    value = new T();
    win32::SetThreadSlotValue(slot, value);
  }
  return *value;
#else
  thread_local T value;
  return value;
#endif
}

}  // namespace zk::detail
