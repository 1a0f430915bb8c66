#include "modsim/PtyLine.h"

#include "modsim/ExactRate.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zk::modsim {
namespace {

constexpr std::size_t kReadChunk = 4096;

}  // namespace

std::unique_ptr<PtyLine> PtyLine::Create(std::string* error) {
  auto fail = [&](const char* what) -> std::unique_ptr<PtyLine> {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    return nullptr;
  };
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) return fail("posix_openpt");
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    close(master);
    return fail("pseudo terminal set-up");
  }
  const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) {
    close(master);
    return fail(name);
  }
  termios settings{};
  if (tcgetattr(slave, &settings) == 0) {
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(slave, TCSANOW, &settings);
  }
  // Opened before the watch is set: the module's own descriptor is not reported.
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch >= 0 && inotify_add_watch(watch, name, IN_OPEN) < 0) {
    close(watch);
    return std::unique_ptr<PtyLine>(new PtyLine(master, slave, -1, name));
  }
  return std::unique_ptr<PtyLine>(new PtyLine(master, slave, watch, name));
}

PtyLine::~PtyLine() {
  close(master_);
  close(slave_);
  if (watch_ >= 0) close(watch_);
}

int PtyLine::TakeHostOpens() {
  if (watch_ < 0) return 0;
  int opens = 0;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = read(watch_, buffer, sizeof buffer);
    if (n <= 0) return opens;
    for (const char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->mask & IN_OPEN) ++opens;
      p += sizeof(inotify_event) + event->len;
    }
  }
}

LineRead PtyLine::Read() {
  LineRead result;
  uint8_t buffer[kReadChunk];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      result.bytes.insert(result.bytes.end(), buffer, buffer + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) result.failed = true;
    return result;
  }
}

std::size_t PtyLine::Write(const uint8_t* data, std::size_t size) { return WriteAvailable(master_, data, size); }

uint32_t PtyLine::HostRate() {
  termios settings{};
  if (tcgetattr(slave_, &settings) != 0) return 0;
  if (const uint32_t rate = RateOfSpeed(cfgetospeed(&settings)); rate != 0) return rate;
  return ExactOutputRate(slave_);  // a rate without a termios constant
}

}  // namespace zk::modsim
