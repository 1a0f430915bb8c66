#pragma once
// Threads with 32-bit ids (the kernel thread id) and waitable, pointer-sized
// handles. Every thread created here owns a message queue from the moment
// CreateThread returns, so a message posted right after start is kept.
#include "platform/Api.h"

#include <cstdint>

namespace zk {

using ThreadId = uint32_t;
using ThreadHandle = void*;
using ThreadProc = uint32_t (*)(void* argument);

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr uint32_t kStillActive = 259;

// Starts proc(argument) on a new thread. Returns null on failure (idOut is
// then left 0). The handle stays valid until CloseHandle, also after the
// thread has ended.
ZK_PLATFORM_API ThreadHandle CreateThread(ThreadProc proc, void* argument, ThreadId* idOut);

// Waits for the thread to end: kWaitObject0, kWaitTimeout or kWaitFailed
// (null or unknown handle). While it waits, the calling thread keeps serving
// the message-box requests addressed to it (see MessageBox.h).
ZK_PLATFORM_API uint32_t WaitForSingleObject(ThreadHandle handle, uint32_t milliseconds);

// The thread's exit code, kStillActive while it runs; false for a bad handle.
ZK_PLATFORM_API bool GetExitCodeThread(ThreadHandle handle, uint32_t* exitCode);

// Releases the handle. A thread still running goes on and cleans up after
// itself when it ends.
ZK_PLATFORM_API bool CloseHandle(ThreadHandle handle);

ZK_PLATFORM_API ThreadId GetCurrentThreadId();

ZK_PLATFORM_API void Sleep(uint32_t milliseconds);

}  // namespace zk
