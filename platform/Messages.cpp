#include "platform/Messages.h"

#include "platform/Immortal.h"
#include "platform/ThreadRegistry.h"
#include "platform/Tick.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace zk {
namespace {

bool InRange(uint32_t message, uint32_t filterMin, uint32_t filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

// The calling thread's state with its queue in place.
std::shared_ptr<detail::ThreadState> OwnQueue() {
  auto state = detail::CurrentThreadState();
  std::lock_guard lock(state->mutex);
  state->hasQueue = true;
  return state;
}

class WindowTable {
 public:
  void Set(WindowHandle window, WindowProc proc) {
    std::lock_guard lock(mutex_);
    if (proc) {
      procs_[window] = std::make_shared<const WindowProc>(std::move(proc));
    } else {
      procs_.erase(window);
    }
  }

  std::shared_ptr<const WindowProc> Find(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto it = procs_.find(window);
    return it == procs_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<WindowHandle, std::shared_ptr<const WindowProc>> procs_;
};

WindowTable& Windows() {
  static detail::Immortal<WindowTable> table;
  return *table;
}

}  // namespace

bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const auto state = detail::FindThreadState(thread);
  if (!state) return false;
  {
    std::lock_guard lock(state->mutex);
    if (!state->hasQueue) return false;
    state->messages.push_back(Msg{nullptr, message, wParam, lParam, GetTickCount()});
  }
  detail::Notify(*state);
  return true;
}

bool PeekMessage(Msg* out, WindowHandle /*window*/, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags) {
  // The queue holds thread messages only, which every window filter passes.
  const auto state = OwnQueue();
  std::lock_guard lock(state->mutex);
  auto& messages = state->messages;
  auto it = std::find_if(messages.begin(), messages.end(),
                         [&](const Msg& msg) { return InRange(msg.message, filterMin, filterMax); });
  if (it == messages.end()) return false;
  if (out != nullptr) *out = *it;
  if ((removeFlags & PM_REMOVE) != 0) messages.erase(it);
  return true;
}

bool TranslateMessage(const Msg* /*msg*/) { return false; }

bool WaitForThreadMessage(uint32_t milliseconds) {
  const auto state = OwnQueue();
  return detail::WaitServing(milliseconds, [&] {
    std::lock_guard lock(state->mutex);
    return !state->messages.empty();
  });
}

void RegisterWindow(WindowHandle window, WindowProc proc) {
  if (window == nullptr) return;
  Windows().Set(window, std::move(proc));
}

void UnregisterWindow(WindowHandle window) { Windows().Set(window, nullptr); }

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // Called outside the table's lock: the handler may send or register itself.
  const auto proc = Windows().Find(window);
  return proc ? (*proc)(message, wParam, lParam) : 0;
}

}  // namespace zk
