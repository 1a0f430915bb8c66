#pragma once
// What the port implementations share: a descriptor that closes itself,
// deadlines (Deadline.h), and the eventfd that Wake signals.
#include "platform/Deadline.h"
#include "platform/SerialPort.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace zk::com::detail {

class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

inline Descriptor MakeWakeFd() { return Descriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)); }

inline void SignalWake(const Descriptor& wake) {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(wake.get(), &one, sizeof one);
}

inline void ClearWakeFd(const Descriptor& wake) {
  uint64_t value = 0;
  [[maybe_unused]] const ssize_t ignored = ::read(wake.get(), &value, sizeof value);
}

// Waits until deadline; only Wake ends the wait early.
inline IoStatus WaitForWake(const Descriptor& wake, std::optional<Clock::time_point> deadline) {
  for (;;) {
    pollfd fd{wake.get(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, PollTimeout(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0) return IoStatus::Woken;
    return IoStatus::TimedOut;
  }
}

}  // namespace zk::com::detail
