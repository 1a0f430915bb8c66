#include "platform/ThreadStart.h"

#include <future>
#include <system_error>
#include <thread>

namespace zk::detail {

bool StartThread(std::function<void()> first, std::function<void()> rest) {
  std::promise<void> started;
  std::future<void> running = started.get_future();
  try {
    std::thread(
        [first = std::move(first), rest = std::move(rest)](std::promise<void> done) {
          first();
          done.set_value();
          rest();
        },
        std::move(started))
        .detach();
  } catch (const std::system_error&) {
    return false;
  }
  // A thread that ends early breaks the promise, which the wait reports.
  try {
    running.get();
  } catch (const std::future_error&) {
    return false;
  }
  return true;
}

}  // namespace zk::detail
