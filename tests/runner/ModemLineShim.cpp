// Preloaded into a program under test: logs every modem line change, open,
// close, write and low-latency request on the device named by
// $ZK_LINE_DEVICE into the file $ZK_LINE_LOG, one line each with a steady
// time stamp in microseconds:
//   <us> OPEN|CLOSE|SET <lines>|CLR <lines>|WRITE <n>|LOWLATENCY <0|1>
// The calls themselves go on to the C library unchanged, except that the
// device's serial settings (TIOCGSERIAL) read as those of a driver with all
// flags clear where the device has none, so that the request to change them
// is made and then refused, as on a pseudo terminal.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int kTrackedFds = 4096;
std::array<std::atomic<bool>, kTrackedFds> tracked{};

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

void Log(const char* what, long value) {
  static const int out = [] {
    const char* path = std::getenv("ZK_LINE_LOG");
    return path != nullptr
               ? static_cast<int>(::syscall(SYS_open, path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600))
               : -1;
  }();
  if (out < 0) return;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  char line[96];
  const int n = std::snprintf(line, sizeof line, "%lld %s %ld\n",
                              static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000, what, value);
  ::syscall(SYS_write, out, line, static_cast<size_t>(n));
}

bool IsDevice(const char* path) {
  const char* device = std::getenv("ZK_LINE_DEVICE");
  return path != nullptr && device != nullptr && std::strcmp(path, device) == 0;
}

bool Tracked(int fd) { return fd >= 0 && fd < kTrackedFds && tracked[static_cast<size_t>(fd)].load(); }

int Opened(int fd, const char* path) {
  if (fd >= 0 && fd < kTrackedFds && IsDevice(path)) {
    tracked[static_cast<size_t>(fd)].store(true);
    Log("OPEN", fd);
  }
  return fd;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = static_cast<mode_t>(va_arg(args, int));
  va_end(args);
  static const auto real = Next<int (*)(const char*, int, ...)>("open");
  return Opened(real(path, flags, mode), path);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = static_cast<mode_t>(va_arg(args, int));
  va_end(args);
  static const auto real = Next<int (*)(const char*, int, ...)>("open64");
  return Opened(real(path, flags, mode), path);
}

int close(int fd) {
  static const auto real = Next<int (*)(int)>("close");
  if (Tracked(fd)) {
    tracked[static_cast<size_t>(fd)].store(false);
    Log("CLOSE", fd);
  }
  return real(fd);
}

ssize_t write(int fd, const void* data, size_t size) {
  static const auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (Tracked(fd)) Log("WRITE", static_cast<long>(size));
  return real(fd, data, size);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  static const auto real = Next<int (*)(int, unsigned long, ...)>("ioctl");
  if (Tracked(fd) && (request == TIOCMBIS || request == TIOCMBIC)) {
    Log(request == TIOCMBIS ? "SET" : "CLR", *static_cast<const int*>(argument));
  }
  if (Tracked(fd) && request == TIOCSSERIAL) {
    Log("LOWLATENCY", (static_cast<const serial_struct*>(argument)->flags & ASYNC_LOW_LATENCY) != 0 ? 1 : 0);
  }
  const int result = real(fd, request, argument);
  if (Tracked(fd) && request == TIOCGSERIAL && result != 0) {
    *static_cast<serial_struct*>(argument) = serial_struct{};
    return 0;
  }
  return result;
}

}  // extern "C"
