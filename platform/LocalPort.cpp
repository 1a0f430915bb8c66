#include "platform/LocalPort.h"

#include "platform/DeviceLock.h"
#include "platform/ExactRate.h"
#include "platform/LocalPortBase.h"
#include "platform/PortIo.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <utility>

namespace zk::com::detail {
namespace {

struct RateEntry {
  uint32_t rate;
  speed_t speed;
};

constexpr std::array<RateEntry, 11> kRates{{
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
}};

std::optional<speed_t> SpeedOf(uint32_t rate) {
  for (const RateEntry& entry : kRates) {
    if (entry.rate == rate) return entry.speed;
  }
  return std::nullopt;
}

// Ioctls on modem lines fail this way on a device that has none.
bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

// Sets the rate, a table rate through termios, any other one exactly
// through termios2; false (errno set) when the device refuses it.
bool SetLineRate(int fd, uint32_t rate) {
  if (!IsSupportedRate(rate)) {
    errno = EINVAL;
    return false;
  }
  const std::optional<speed_t> speed = SpeedOf(rate);
  if (!speed) return detail::SetExactRate(fd, rate);
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return false;
  if (::cfsetispeed(&settings, *speed) != 0 || ::cfsetospeed(&settings, *speed) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Lowers DTR and RTS, which the kernel raises when a port opens, so that
// no module is held in reset or boot before its dialogue asks for it.
void LowerModemLines(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIC, &lines);
}

class TtyPort final : public LocalPortBase {
 public:
  TtyPort(std::string path, Descriptor device, Descriptor wake)
      : LocalPortBase(std::move(path)), device_(std::move(device)), wake_(std::move(wake)) {}
  // The lock goes with the descriptor; the device is shared again (a
  // pseudo terminal's stays with the device while its far end is open).
  // Unread input is dropped; output is left to go out (a pseudo terminal
  // counts bytes its far end has not read yet as sent, and flushing would
  // destroy them).
  ~TtyPort() override {
    ::ioctl(device_.get(), TIOCNXCL);
    ::tcflush(device_.get(), TCIFLUSH);
  }

  bool SetBaudRate(uint32_t rate) override { return SetLineRate(device_.get(), rate); }

  bool SetRts(bool on) override { return SetLine(TIOCM_RTS, on); }
  bool SetDtr(bool on) override { return SetLine(TIOCM_DTR, on); }
  bool SetBreak(bool on) override { return ::ioctl(device_.get(), on ? TIOCSBRK : TIOCCBRK) == 0; }

  bool Purge(PurgeWhat what) override {
    const int queue = what == PurgeWhat::Input ? TCIFLUSH : what == PurgeWhat::Output ? TCOFLUSH : TCIOFLUSH;
    return ::tcflush(device_.get(), queue) == 0;
  }

  std::optional<QueueLevels> Levels() override {
    int input = 0;
    int output = 0;
    if (::ioctl(device_.get(), FIONREAD, &input) != 0) return std::nullopt;
    if (::ioctl(device_.get(), TIOCOUTQ, &output) != 0) return std::nullopt;
    return QueueLevels{static_cast<std::size_t>(input), static_cast<std::size_t>(output)};
  }

  bool Write(std::span<const uint8_t> data) override {
    while (!data.empty()) {
      if (hungUp_.load()) return false;
      const ssize_t written = ::write(device_.get(), data.data(), data.size());
      if (written > 0) {
        data = data.subspan(static_cast<std::size_t>(written));
        continue;
      }
      if (written < 0 && errno == EINTR) continue;
      if (written < 0 && errno == EAGAIN) {
        const IoStatus status = PollDevice(POLLOUT, std::nullopt);
        if (status != IoStatus::Ok) return false;
        continue;
      }
      hungUp_.store(true);
      return false;
    }
    return true;
  }

  bool Drain(uint32_t maxMs) override {
    const std::optional<Clock::time_point> deadline = DeadlineAfter(maxMs);
    for (;;) {
      if (hungUp_.load()) return false;
      int output = 0;
      if (::ioctl(device_.get(), TIOCOUTQ, &output) != 0) return false;
      if (output == 0) break;
      if (deadline && Clock::now() >= *deadline) return false;
      // One step of a millisecond at most; Wake ends it.
      const IoStatus status = WaitWake(Clock::now() + std::chrono::milliseconds(1));
      if (status == IoStatus::Woken) return false;
    }
    // The queue is empty; what is left is the transmitter itself.
    return ::tcdrain(device_.get()) == 0 || errno == EINTR;
  }

  ReadResult Read(std::span<uint8_t> out, uint32_t timeoutMs) override {
    if (out.empty()) return {IoStatus::Ok, 0};
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
    for (;;) {
      if (hungUp_.load()) return {AfterHangUp(deadline), 0};
      const ssize_t got = ::read(device_.get(), out.data(), out.size());
      if (got > 0) return {IoStatus::Ok, static_cast<std::size_t>(got)};
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno == EAGAIN) {
        const IoStatus status = PollDevice(POLLIN, deadline);
        if (status == IoStatus::Ok) continue;
        if (status != IoStatus::LineError) return {status, 0};
        // What came before the hang-up is still handed out.
        const ssize_t rest = ::read(device_.get(), out.data(), out.size());
        if (rest > 0) return {IoStatus::Ok, static_cast<std::size_t>(rest)};
        return {IoStatus::LineError, 0};
      }
      // End of file or EIO: the far end has gone. The first read to find it
      // says so at once; later ones take their time.
      return {Lost(), 0};
    }
  }

  IoStatus WaitReadable(uint32_t timeoutMs) override {
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
    if (hungUp_.load()) return AfterHangUp(deadline);
    return PollDevice(POLLIN, deadline);
  }

  void Wake() override { detail::SignalWake(wake_); }
  void ClearWake() override { detail::ClearWakeFd(wake_); }

 private:
  bool SetLine(int line, bool on) {
    if (::ioctl(device_.get(), on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    return NoModemLines(errno);
  }

  // Waits for events on the device or for Wake. A hang-up found here is
  // recorded and reported as LineError.
  IoStatus PollDevice(short events, std::optional<Clock::time_point> deadline) {
    for (;;) {
      std::array<pollfd, 2> fds{{{device_.get(), events, 0}, {wake_.get(), POLLIN, 0}}};
      const int ready = ::poll(fds.data(), fds.size(), PollTimeout(deadline));
      if (ready < 0) {
        if (errno == EINTR) continue;
        return Lost();
      }
      if (fds[1].revents & POLLIN) return IoStatus::Woken;
      if (ready == 0) return IoStatus::TimedOut;
      if (fds[0].revents & events) return IoStatus::Ok;
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Lost();
    }
  }

  IoStatus WaitWake(std::optional<Clock::time_point> deadline) override { return detail::WaitForWake(wake_, deadline); }

  Descriptor device_;
  Descriptor wake_;
};

OpenError OpenFailureOf(int code) {
  switch (code) {
    case ENOENT:
    case ENXIO:
    case ENODEV: return OpenError::NoSuchPort;
    case EACCES:
    case EPERM: return OpenError::PermissionDenied;
    case EBUSY:  // held exclusively (TIOCEXCL) by another program
      return OpenError::InUse;
    default: return OpenError::CannotOpen;
  }
}

bool ConfigureRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return false;
  ::cfmakeraw(&settings);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK);
  settings.c_iflag |= IGNBRK;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Opening must never wait for carrier. The open raises DTR and RTS: only
// a device no other program has locked is opened.
Descriptor OpenTty(const std::string& path) {
  return Descriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

// A USB adapter holds every short reply for its latency timer (16 ms on
// common ones) unless its driver is asked for low latency. A driver that
// refuses, as a pseudo terminal does, is left as it is.
void RequestLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

}  // namespace

std::unique_ptr<SerialPort> OpenLocalPort(const std::string& path, uint32_t rate, OpenFailure& failure) {
  if (DeviceLocked(path)) return FailOpen(failure, OpenError::InUse);
  Descriptor device = OpenTty(path);
  if (!device.valid()) return FailOpen(failure, OpenFailureOf(errno), errno);
  if (::isatty(device.get()) == 0) return FailOpen(failure, OpenError::NotSerial);
  // "Not shared": a second opener fails, also one running as root.
  if (::flock(device.get(), LOCK_EX | LOCK_NB) != 0) {
    return errno == EWOULDBLOCK ? FailOpen(failure, OpenError::InUse) : FailOpen(failure, OpenError::CannotOpen, errno);
  }
  Descriptor wake = detail::MakeWakeFd();
  if (!wake.valid()) return FailOpen(failure, OpenError::CannotOpen, errno);
  // Other programs (not running as root) cannot even open it now, so that
  // their open raises no modem line under us; the port's end clears it.
  ::ioctl(device.get(), TIOCEXCL);
  const int fd = device.get();
  auto port = std::make_unique<TtyPort>(path, std::move(device), std::move(wake));
  if (!ConfigureRaw(fd)) return FailOpen(failure, OpenError::CannotConfigure, errno);
  if (!SetLineRate(fd, rate)) return FailOpen(failure, OpenError::BadRate, errno);
  RequestLowLatency(fd);
  LowerModemLines(fd);
  ::tcflush(fd, TCIOFLUSH);
  return port;
}

bool LocalPortAvailable(const std::string& path) {
  if (DeviceLocked(path)) return false;
  Descriptor device = OpenTty(path);
  if (!device.valid() || ::isatty(device.get()) == 0 || ::flock(device.get(), LOCK_EX | LOCK_NB) != 0) return false;
  LowerModemLines(device.get());  // raised by the open
  return true;
}

}  // namespace zk::com::detail
