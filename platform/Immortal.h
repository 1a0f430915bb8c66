#pragma once
// Process-wide state that is built on first use and never destroyed, so that
// a thread still running while the process exits never meets a destroyed
// registry.
#include <memory>
#include <new>
#include <utility>

namespace zk::detail {

template <class T>
class Immortal {
 public:
  template <class... Args>
  explicit Immortal(Args&&... args) {
    std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
  }
  Immortal(const Immortal&) = delete;
  Immortal& operator=(const Immortal&) = delete;
  ~Immortal() = default;  // deliberately leaves the object alive

  T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return &**this; }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace zk::detail
