#if !defined(_WIN32)
#include "tests/link/LinePair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zk::test {
namespace {

// How long a write waits for room on the master.
constexpr int kWriteRoomMs = 5000;

}  // namespace

struct LinePair::Far {
  int master = -1;
  int slave = -1;
};

LinePair::LinePair() : far_(std::make_unique<Far>()) {
  far_->master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (far_->master < 0 || ::grantpt(far_->master) != 0 || ::unlockpt(far_->master) != 0) {
    throw std::runtime_error("no pseudo terminal");
  }
  devicePath_ = ::ptsname(far_->master);
  far_->slave = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (far_->slave < 0) throw std::runtime_error("cannot open " + devicePath_);
  termios raw{};
  ::tcgetattr(far_->slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(far_->slave, TCSANOW, &raw);
}

LinePair::~LinePair() {
  if (far_->slave >= 0) ::close(far_->slave);
  if (far_->master >= 0) ::close(far_->master);
}

std::optional<std::size_t> LinePair::PeerRead(std::span<uint8_t> out, int timeoutMs) {
  pollfd fd{far_->master, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&fd, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return 0;
  if (ready < 0 || (fd.revents & POLLIN) == 0) return std::nullopt;
  const ssize_t got = ::read(far_->master, out.data(), out.size());
  if (got <= 0) return std::nullopt;
  return static_cast<std::size_t>(got);
}

bool LinePair::PeerWrite(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(far_->master, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      pollfd fd{far_->master, POLLOUT, 0};
      if (::poll(&fd, 1, kWriteRoomMs) <= 0) return false;
      continue;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool LinePair::CanHangUp() { return true; }

void LinePair::HangUp() {
  if (far_->master >= 0) ::close(far_->master);
  far_->master = -1;
}

}  // namespace zk::test
#endif
