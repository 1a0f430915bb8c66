#pragma once
// The state the layer keeps per thread, found by thread id: the thread's
// message queue and the wake signal that every wait of that thread sleeps on.
// Anything that a waiting thread should react to (a posted message, a thread
// it waits for ending, a message-box request for it) calls Notify.
#include "platform/Messages.h"
#include "platform/Threads.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace zk::detail {

struct ThreadState {
  explicit ThreadState(ThreadId owner) : id(owner) {}

  const ThreadId id;
  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by mutex.
  uint64_t generation = 0;  // counts Notify calls
  bool hasQueue = false;
  std::deque<Msg> messages;
};

// The calling thread's state, registered under its id on first use.
std::shared_ptr<ThreadState> CurrentThreadState();

// The state registered for id; null when that thread has none (it never
// used the layer, or it has ended).
std::shared_ptr<ThreadState> FindThreadState(ThreadId id);

// Wakes every wait of the thread that owns state.
void Notify(ThreadState& state);
void Notify(ThreadId id);

// Called at the end of a thread's run: its state leaves the registry, its
// queue is dropped and later posts to it fail. The thread_local guard does
// the same for threads that end without it.
void EndCurrentThread();

// Waits on the calling thread's wake signal until ready() holds or the time
// is up (kInfinite: no limit), answering message-box requests for the thread
// meanwhile. ready() is called without any lock of the layer held. Returns
// the last value of ready().
bool WaitServing(uint32_t milliseconds, const std::function<bool()>& ready);

}  // namespace zk::detail
