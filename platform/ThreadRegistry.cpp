#include "platform/ThreadRegistry.h"

#include "platform/Immortal.h"
#include "platform/MessageBox.h"
#include "platform/NonCopyable.h"
#include "platform/PerThread.h"

#include <chrono>
#include <unordered_map>

namespace zk::detail {
namespace {

class Registry {
 public:
  void Add(const std::shared_ptr<ThreadState>& state) {
    std::lock_guard lock(mutex_);
    states_[state->id] = state;
  }

  // Removes the entry only when it is this state: a later thread that got
  // the same kernel id keeps its own.
  void Remove(const std::shared_ptr<ThreadState>& state) {
    std::lock_guard lock(mutex_);
    auto it = states_.find(state->id);
    if (it != states_.end() && it->second == state) states_.erase(it);
  }

  std::shared_ptr<ThreadState> Find(ThreadId id) {
    std::lock_guard lock(mutex_);
    auto it = states_.find(id);
    return it == states_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<ThreadId, std::shared_ptr<ThreadState>> states_;
};

Registry& TheRegistry() {
  static Immortal<Registry> registry;
  return *registry;
}

// The calling thread's entry; leaves the registry when the thread ends.
struct CurrentEntry : private NonCopyable {
  CurrentEntry() = default;
  ~CurrentEntry() { End(); }

  void End() {
    ended = true;
    if (!state) return;
    TheRegistry().Remove(state);
    std::lock_guard lock(state->mutex);
    state->hasQueue = false;
    state->messages.clear();
  }

  std::shared_ptr<ThreadState> state;
  bool ended = false;
};

}  // namespace

std::shared_ptr<ThreadState> CurrentThreadState() {
  CurrentEntry& tCurrent = PerThread<CurrentEntry>();
  if (!tCurrent.state) {
    tCurrent.state = std::make_shared<ThreadState>(GetCurrentThreadId());
    if (!tCurrent.ended) TheRegistry().Add(tCurrent.state);
  }
  return tCurrent.state;
}

std::shared_ptr<ThreadState> FindThreadState(ThreadId id) { return TheRegistry().Find(id); }

void Notify(ThreadState& state) {
  {
    std::lock_guard lock(state.mutex);
    ++state.generation;
  }
  state.changed.notify_all();
}

void Notify(ThreadId id) {
  if (auto state = FindThreadState(id)) Notify(*state);
}

void EndCurrentThread() { PerThread<CurrentEntry>().End(); }

bool WaitServing(uint32_t milliseconds, const std::function<bool()>& ready) {
  ThreadState& self = *CurrentThreadState();
  const bool unlimited = milliseconds == kInfinite;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    // Reading the generation before looking means that whatever happens
    // after the look changes it, so the wait below cannot miss it.
    uint64_t seen = 0;
    {
      std::lock_guard lock(self.mutex);
      seen = self.generation;
    }
    ServeMessageBoxRequests();
    if (ready()) return true;

    std::unique_lock lock(self.mutex);
    const auto changed = [&] { return self.generation != seen; };
    if (unlimited) {
      self.changed.wait(lock, changed);
    } else if (!self.changed.wait_until(lock, deadline, changed)) {
      lock.unlock();
      ServeMessageBoxRequests();
      return ready();
    }
  }
}

}  // namespace zk::detail
