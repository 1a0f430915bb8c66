#include "platform/MessageBox.h"

#include "platform/Immortal.h"
#include "platform/NonCopyable.h"
#include "platform/PerThread.h"
#include "platform/ThreadRegistry.h"
#include "platform/Threads.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zk {
namespace {

enum class RequestState { kQueued, kServing, kAnswered, kWithdrawn };

// A box asked for by a thread other than the handler's owner.
struct Request {
  Request(std::string_view t, std::string_view c, uint32_t b) : text(t), caption(c), type(b) {}
  const std::string text;
  const std::string caption;
  const uint32_t type;
  // Guarded by the hub's mutex.
  RequestState state = RequestState::kQueued;
  int answer = 0;
};

// The handlers this thread is calling right now (nested calls included).
struct OwnCalls {
  std::vector<const MessageBoxHandler*> handlers;
};
std::vector<const MessageBoxHandler*>& TheOwnCalls() { return detail::PerThread<OwnCalls>().handlers; }

// The one handler of the process and the requests queued for its owner.
class Hub {
 public:
  int Ask(std::string_view text, std::string_view caption, uint32_t type) {
    const ThreadId self = GetCurrentThreadId();
    std::unique_lock lock(mutex_);
    for (;;) {
      MessageBoxHandler* handler = handler_;
      if (handler == nullptr) {
        lock.unlock();
        return ShowMessageOnConsole(text, caption, type);
      }
      if (!marshal_ || owner_ == self) {
        HandlerCall call(*this, lock, handler);
        return handler->Show(text, caption, type);
      }
      auto request = std::make_shared<Request>(text, caption, type);
      queued_.push_back(request);
      {
        const ThreadId owner = owner_;
        HandlerCall call(*this, lock, handler);
        detail::Notify(owner);
        handler->Wake();
      }
      settled_.wait(lock, [&] {
        return request->state == RequestState::kAnswered || request->state == RequestState::kWithdrawn;
      });
      if (request->state == RequestState::kAnswered) return request->answer;
      // The handler was replaced before the owner came to it: ask again.
    }
  }

  int Serve() {
    const ThreadId self = GetCurrentThreadId();
    int served = 0;
    std::unique_lock lock(mutex_);
    while (handler_ != nullptr && marshal_ && owner_ == self && !queued_.empty()) {
      const std::shared_ptr<Request> request = queued_.front();
      queued_.pop_front();
      request->state = RequestState::kServing;
      MessageBoxHandler* handler = handler_;
      int answer = 0;
      {
        HandlerCall call(*this, lock, handler);
        answer = handler->Show(request->text, request->caption, request->type);
      }
      request->answer = answer;
      request->state = RequestState::kAnswered;
      ++served;
      settled_.notify_all();
    }
    return served;
  }

  void Install(MessageBoxHandler* handler, bool marshal) {
    const ThreadId self = GetCurrentThreadId();
    std::unique_lock lock(mutex_);
    MessageBoxHandler* previous = handler_;
    handler_ = handler;
    marshal_ = marshal && handler != nullptr;
    owner_ = marshal_ ? self : 0;
    WithdrawQueued();
    // The previous handler may be destroyed once this returns: let the
    // calls other threads are making on it finish first.
    if (previous != nullptr && previous != handler) {
      const auto own = std::count(TheOwnCalls().begin(), TheOwnCalls().end(), previous);
      settled_.wait(lock, [&] { return CallsOn(previous) == own; });
    }
  }

  // The owner thread ends: its handler can no longer be served.
  void OwnerEnded(ThreadId owner) {
    std::lock_guard lock(mutex_);
    if (!marshal_ || owner_ != owner) return;
    handler_ = nullptr;
    marshal_ = false;
    owner_ = 0;
    WithdrawQueued();
  }

 private:
  // A call on a handler made with the hub's lock released, counted so that
  // Install can wait for it.
  class HandlerCall : private NonCopyable {
   public:
    HandlerCall(Hub& hub, std::unique_lock<std::mutex>& lock, const MessageBoxHandler* handler)
        : hub_(hub), lock_(lock), handler_(handler) {
      ++hub_.calls_[handler_];
      TheOwnCalls().push_back(handler_);
      lock_.unlock();
    }
    ~HandlerCall() {
      lock_.lock();
      TheOwnCalls().pop_back();
      if (--hub_.calls_[handler_] == 0) hub_.calls_.erase(handler_);
      hub_.settled_.notify_all();
    }

   private:
    Hub& hub_;
    std::unique_lock<std::mutex>& lock_;
    const MessageBoxHandler* handler_;
  };

  long CallsOn(const MessageBoxHandler* handler) const {
    auto it = calls_.find(handler);
    return it == calls_.end() ? 0 : it->second;
  }

  void WithdrawQueued() {
    for (const auto& request : queued_) request->state = RequestState::kWithdrawn;
    queued_.clear();
    settled_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable settled_;  // a request settled or a handler call ended
  MessageBoxHandler* handler_ = nullptr;
  bool marshal_ = false;
  ThreadId owner_ = 0;
  std::deque<std::shared_ptr<Request>> queued_;
  std::unordered_map<const MessageBoxHandler*, long> calls_;
};

Hub& TheHub() {
  static detail::Immortal<Hub> hub;
  return *hub;
}

// Set on a thread that installed a marshalling handler.
struct OwnerGuard : private NonCopyable {
  ThreadId owner = 0;
  OwnerGuard() = default;
  ~OwnerGuard() {
    if (owner != 0) TheHub().OwnerEnded(owner);
  }
};

}  // namespace

int ShowMessageOnConsole(std::string_view text, std::string_view caption, uint32_t type) {
  std::string line;
  if (!caption.empty()) line.append(caption).append(": ");
  line.append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return DefaultMessageBoxAnswer(type);
}

int MessageBox(std::string_view text, std::string_view caption, uint32_t type) {
  return TheHub().Ask(text, caption, type);
}

void SetMessageBoxHandler(MessageBoxHandler* handler, bool marshal) {
  TheHub().Install(handler, marshal);
  if (handler != nullptr && marshal) detail::PerThread<OwnerGuard>().owner = GetCurrentThreadId();
}

int DefaultMessageBoxAnswer(uint32_t type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_OK:
    default: return IDOK;
  }
}

int ServeMessageBoxRequests() { return TheHub().Serve(); }

}  // namespace zk
