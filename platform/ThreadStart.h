#pragma once
// A detached thread of the layer's own, started in two steps: the creator
// returns once the thread has run its first step (its id known, its queue
// registered), and the rest runs on after that. A thread that cannot be
// started, or that ends before its first step is done, is a failure, never
// a wait without end.
#include <functional>

namespace zk::detail {

bool StartThread(std::function<void()> first, std::function<void()> rest);

}  // namespace zk::detail
