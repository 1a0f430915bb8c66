#pragma once
// A kernel handle closed when it goes out of scope.
#include "platform/win32/Windows.h"

#include <utility>

namespace zk::win32 {

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr; }
  // Closes now; whether the close succeeded.
  bool Reset() {
    const HANDLE handle = std::exchange(handle_, nullptr);
    return handle == nullptr || ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace zk::win32
