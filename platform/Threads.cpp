#include "platform/Threads.h"

#include "platform/Immortal.h"
#include "platform/ThreadRegistry.h"
#include "platform/ThreadStart.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zk {
namespace {

// One thread started by CreateThread. Shared by its handle (while open) and
// the running thread itself, so either may go first.
class ThreadObject {
 public:
  ThreadId Id() const { return id_.load(); }
  void SetId(ThreadId id) { id_.store(id); }

  bool Done() const { return done_.load(); }
  uint32_t ExitCode() const { return exitCode_.load(); }

  // Publishes the end and wakes every thread that waits for it.
  void Finish(uint32_t exitCode) {
    exitCode_.store(exitCode);
    std::vector<std::shared_ptr<detail::ThreadState>> waiters;
    {
      std::lock_guard lock(mutex_);
      done_.store(true);
      waiters = waiters_;
    }
    for (const auto& waiter : waiters) detail::Notify(*waiter);
  }

  // A waiter is listed while it waits, so that Finish can wake it. Listing
  // and Finish share the mutex: a waiter listed after Finish sees Done().
  void AddWaiter(const std::shared_ptr<detail::ThreadState>& waiter) {
    std::lock_guard lock(mutex_);
    waiters_.push_back(waiter);
  }
  void RemoveWaiter(const std::shared_ptr<detail::ThreadState>& waiter) {
    std::lock_guard lock(mutex_);
    auto it = std::find(waiters_.begin(), waiters_.end(), waiter);
    if (it != waiters_.end()) waiters_.erase(it);
  }

 private:
  std::atomic<ThreadId> id_{0};
  std::atomic<bool> done_{false};
  std::atomic<uint32_t> exitCode_{kStillActive};
  std::mutex mutex_;
  std::vector<std::shared_ptr<detail::ThreadState>> waiters_;
};

// Open handles. A handle is a number that is never reused, so a closed or
// made-up handle is recognised as unknown.
class HandleTable {
 public:
  ThreadHandle Add(std::shared_ptr<ThreadObject> object) {
    std::lock_guard lock(mutex_);
    const uintptr_t value = next_++;
    objects_.emplace(value, std::move(object));
    return reinterpret_cast<ThreadHandle>(value);
  }

  std::shared_ptr<ThreadObject> Find(ThreadHandle handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
  }

  bool Remove(ThreadHandle handle) {
    std::lock_guard lock(mutex_);
    return objects_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
  }

 private:
  // Handles start well above the small integers and never hit null.
  static constexpr uintptr_t kFirstHandle = 0x1000;

  std::mutex mutex_;
  uintptr_t next_ = kFirstHandle;
  std::unordered_map<uintptr_t, std::shared_ptr<ThreadObject>> objects_;
};

HandleTable& Handles() {
  static detail::Immortal<HandleTable> table;
  return *table;
}

// The first step on the new thread: its id and its queue, before the
// creator returns and anybody can post to it.
void BeginThread(ThreadObject& object) {
  object.SetId(GetCurrentThreadId());
  const auto state = detail::CurrentThreadState();
  std::lock_guard lock(state->mutex);
  state->hasQueue = true;
}

void RunThread(ThreadObject& object, ThreadProc proc, void* argument) {
  const uint32_t exitCode = proc(argument);
  // The queue goes before the end is published: once a wait for this
  // thread has returned, posting to it fails.
  detail::EndCurrentThread();
  object.Finish(exitCode);
}

}  // namespace

ThreadHandle CreateThread(ThreadProc proc, void* argument, ThreadId* idOut) {
  if (idOut != nullptr) *idOut = 0;
  if (proc == nullptr) return nullptr;
  auto object = std::make_shared<ThreadObject>();
  const bool started = detail::StartThread([object] { BeginThread(*object); },
                                           [object, proc, argument] { RunThread(*object, proc, argument); });
  if (!started) return nullptr;
  if (idOut != nullptr) *idOut = object->Id();
  return Handles().Add(std::move(object));
}

uint32_t WaitForSingleObject(ThreadHandle handle, uint32_t milliseconds) {
  const std::shared_ptr<ThreadObject> object = Handles().Find(handle);
  if (!object) return kWaitFailed;
  if (object->Done()) return kWaitObject0;
  // A thread waiting for its own end would never wake.
  if (object->Id() == GetCurrentThreadId()) return kWaitFailed;

  const auto waiter = detail::CurrentThreadState();
  object->AddWaiter(waiter);
  const bool ended = detail::WaitServing(milliseconds, [&] { return object->Done(); });
  object->RemoveWaiter(waiter);
  return ended ? kWaitObject0 : kWaitTimeout;
}

bool GetExitCodeThread(ThreadHandle handle, uint32_t* exitCode) {
  const std::shared_ptr<ThreadObject> object = Handles().Find(handle);
  if (!object || exitCode == nullptr) return false;
  *exitCode = object->Done() ? object->ExitCode() : kStillActive;
  return true;
}

bool CloseHandle(ThreadHandle handle) { return Handles().Remove(handle); }

void Sleep(uint32_t milliseconds) {
  // A polling loop sleeps here: it keeps answering message-box requests.
  detail::WaitServing(milliseconds, [] { return false; });
  if (milliseconds == 0) std::this_thread::yield();
}

}  // namespace zk
