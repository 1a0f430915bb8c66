#pragma once
// Per-thread message queues (PostThreadMessage, PeekMessage) and window
// handles (SendMessage to a handler the host registered).
#include "platform/Api.h"
#include "platform/Threads.h"

#include <cstdint>
#include <functional>

namespace zk {

inline constexpr uint32_t WM_QUIT = 18;
inline constexpr uint32_t WM_USER = 1024;
inline constexpr uint32_t PM_NOREMOVE = 0;
inline constexpr uint32_t PM_REMOVE = 1;

using WindowHandle = void*;

struct Msg {
  WindowHandle window = nullptr;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  uint32_t time = 0;
};

// Appends to the queue of thread id. Fails when that thread has no queue
// (it never peeked and was not created by CreateThread, or it has ended).
ZK_PLATFORM_API bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Looks at the calling thread's queue (creating it on first use) for the
// oldest message with number in [filterMin, filterMax] (both 0: any). With
// PM_REMOVE it is taken off the queue. False when there is none.
ZK_PLATFORM_API bool PeekMessage(Msg* out, WindowHandle window, uint32_t filterMin, uint32_t filterMax,
                                 uint32_t removeFlags);

// Kept for the shape of the calling code: there is no key translation.
ZK_PLATFORM_API bool TranslateMessage(const Msg* msg);

// Blocks until the calling thread's queue holds a message or the time is
// up; true when a message is there. Serves message-box requests meanwhile.
ZK_PLATFORM_API bool WaitForThreadMessage(uint32_t milliseconds);

// Window messages: the host registers a handler for an opaque window value;
// SendMessage calls it synchronously (0 when no handler is registered).
using WindowProc = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
ZK_PLATFORM_API void RegisterWindow(WindowHandle window, WindowProc proc);
ZK_PLATFORM_API void UnregisterWindow(WindowHandle window);
ZK_PLATFORM_API intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace zk
