#include "modsim/SerialLine.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace zk::modsim {
namespace {

constexpr std::size_t kReadChunk = 4096;

int ModemBit(ModemInput input) {
  switch (input) {
    case ModemInput::kCts: return TIOCM_CTS;
    case ModemInput::kDsr: return TIOCM_DSR;
    case ModemInput::kDcd: return TIOCM_CAR;
    case ModemInput::kRi: return TIOCM_RNG;
    case ModemInput::kNone: return 0;
  }
  return 0;
}

}  // namespace

std::unique_ptr<SerialLine> SerialLine::Open(const std::string& path, uint32_t resetRate, ModemInput resetInput,
                                             std::string* error) {
  if (SpeedOfRate(resetRate) == 0) {
    if (error) *error = "unsupported rate " + std::to_string(resetRate);
    return nullptr;
  }
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<SerialLine> line(new SerialLine(fd, path, resetRate, resetInput));
  if (!line->Apply(resetRate)) {
    if (error) *error = path + ": cannot configure: " + std::strerror(errno);
    return nullptr;
  }
  return line;
}

SerialLine::~SerialLine() { close(fd_); }

bool SerialLine::Apply(uint32_t rate) {
  termios settings{};
  if (tcgetattr(fd_, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP);
  settings.c_iflag |= PARMRK;  // a break reads as 0xFF 0x00 0x00, a data 0xFF as 0xFF 0xFF
  const speed_t speed = SpeedOfRate(rate);
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  if (tcsetattr(fd_, TCSANOW, &settings) != 0) return false;
  rate_ = rate;
  return true;
}

void SerialLine::SetRate(uint32_t baud) {
  const uint32_t rate = baud == 0 ? resetRate_ : baud;
  if (rate != rate_ && SpeedOfRate(rate) != 0) Apply(rate);
}

LineRead SerialLine::Read() {
  LineRead result;
  uint8_t buffer[kReadChunk];
  for (;;) {
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) result.failed = true;
      return result;
    }
    for (ssize_t i = 0; i < n; ++i) {
      const uint8_t b = buffer[i];
      if (marks_ == 0) {
        if (b == 0xFF) {
          marks_ = 1;
        } else {
          result.bytes.push_back(b);
        }
      } else if (marks_ == 1) {
        if (b == 0xFF) {
          result.bytes.push_back(0xFF);
          marks_ = 0;
        } else {
          marks_ = 2;  // 0xFF 0x00: a break or an errored byte follows
        }
      } else {
        marks_ = 0;
        if (b == 0x00) {
          if (!result.breakAt) result.breakAt = result.bytes.size();
        } else {
          result.bytes.push_back(b);  // a byte with a framing or parity error
        }
      }
    }
  }
}

std::size_t SerialLine::Write(const uint8_t* data, std::size_t size) { return WriteAvailable(fd_, data, size); }

ResetLine SerialLine::PollResetLine() {
  const int bit = ModemBit(resetInput_);
  int status = 0;
  if (bit == 0 || ioctl(fd_, TIOCMGET, &status) != 0) return ResetLine::kUnchanged;
  const bool held = (status & bit) != 0;
  if (held == resetHeld_) return ResetLine::kUnchanged;
  resetHeld_ = held;
  return held ? ResetLine::kAsserted : ResetLine::kReleased;
}

}  // namespace zk::modsim
