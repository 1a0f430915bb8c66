#include "platform/LocalPort.h"

#include "platform/Deadline.h"
#include "platform/LocalPortBase.h"
#include "platform/win32/Handle.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <chrono>
#include <optional>

namespace zk::com::detail {
namespace {

constexpr DWORD kDrainStepMs = 1;
// A wait for a received character looks at the queue again after this
// long: an event can be missed (Wine raises none for a byte that arrived
// while the wait was being set up).
constexpr auto kInputLookMs = std::chrono::milliseconds(10);

// A device without modem lines (a pseudo terminal behind Wine) refuses the
// line calls as not supported: there they succeed without effect.
bool NoModemLines(DWORD error) { return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER; }

bool LineCall(HANDLE port, DWORD function) {
  return ::EscapeCommFunction(port, function) != 0 || NoModemLines(::GetLastError());
}

bool ConfigureRaw(HANDLE port, uint32_t rate) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (::GetCommState(port, &dcb) == 0) return false;
  dcb.BaudRate = rate;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  return ::SetCommState(port, &dcb) != 0;
}

bool SetRate(HANDLE port, uint32_t rate) {
  if (!IsSupportedRate(rate)) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (::GetCommState(port, &dcb) == 0) return false;
  dcb.BaudRate = rate;
  return ::SetCommState(port, &dcb) != 0;
}

// A read returns at once with what is there, also with nothing.
bool SetReadTimeouts(HANDLE port) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  return ::SetCommTimeouts(port, &timeouts) != 0;
}

// One overlapped operation: its event and record.
struct Overlapped {
  Overlapped() : event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) { record.hEvent = event.get(); }
  void Reset() {
    ::ResetEvent(event.get());
    const HANDLE hEvent = record.hEvent;
    record = OVERLAPPED{};
    record.hEvent = hEvent;
  }
  win32::Handle event;
  OVERLAPPED record{};
};

class CommPort final : public LocalPortBase {
 public:
  CommPort(std::string path, win32::Handle port, win32::Handle wake)
      : LocalPortBase(std::move(path)), port_(std::move(port)), wake_(std::move(wake)) {}
  // Unread input is dropped; output is left to go out.
  ~CommPort() override { ::PurgeComm(port_.get(), PURGE_RXCLEAR); }

  bool valid() const { return read_.event.valid() && write_.event.valid() && wait_.event.valid(); }

  bool SetBaudRate(uint32_t rate) override { return SetRate(port_.get(), rate); }
  bool SetRts(bool on) override { return LineCall(port_.get(), on ? SETRTS : CLRRTS); }
  bool SetDtr(bool on) override { return LineCall(port_.get(), on ? SETDTR : CLRDTR); }
  bool SetBreak(bool on) override { return (on ? ::SetCommBreak(port_.get()) : ::ClearCommBreak(port_.get())) != 0; }

  bool Purge(PurgeWhat what) override {
    const DWORD flags = what == PurgeWhat::Input    ? PURGE_RXCLEAR
                        : what == PurgeWhat::Output ? PURGE_TXCLEAR
                                                    : PURGE_RXCLEAR | PURGE_TXCLEAR;
    return ::PurgeComm(port_.get(), flags) != 0;
  }

  std::optional<QueueLevels> Levels() override {
    COMSTAT status{};
    DWORD errors = 0;
    if (::ClearCommError(port_.get(), &errors, &status) == 0) return std::nullopt;
    return QueueLevels{status.cbInQue, status.cbOutQue};
  }

  bool Write(std::span<const uint8_t> data) override {
    while (!data.empty()) {
      if (hungUp_.load()) return false;
      write_.Reset();
      DWORD written = 0;
      const auto size = static_cast<DWORD>(data.size());
      if (::WriteFile(port_.get(), data.data(), size, &written, &write_.record) == 0) {
        const IoStatus status =
            ::GetLastError() == ERROR_IO_PENDING ? Complete(write_, std::nullopt, written) : IoStatus::LineError;
        if (status == IoStatus::LineError) Lost();
        if (status != IoStatus::Ok) return false;
      }
      data = data.subspan(written);
    }
    return true;
  }

  bool Drain(uint32_t maxMs) override {
    const std::optional<Clock::time_point> deadline = DeadlineAfter(maxMs);
    for (;;) {
      if (hungUp_.load()) return false;
      const std::optional<QueueLevels> levels = Levels();
      if (!levels) return false;
      if (levels->output == 0) return true;
      if (deadline && Clock::now() >= *deadline) return false;
      if (::WaitForSingleObject(wake_.get(), kDrainStepMs) == WAIT_OBJECT_0) return false;
    }
  }

  // A read takes what is there at once; the wait for the first byte is the
  // wait for a received character.
  ReadResult Read(std::span<uint8_t> out, uint32_t timeoutMs) override {
    if (out.empty()) return {IoStatus::Ok, 0};
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
    for (;;) {
      if (hungUp_.load()) return {AfterHangUp(deadline), 0};
      read_.Reset();
      DWORD got = 0;
      const auto size = static_cast<DWORD>(out.size());
      if (::ReadFile(port_.get(), out.data(), size, &got, &read_.record) == 0) {
        if (::GetLastError() != ERROR_IO_PENDING) return {Lost(), 0};
        const IoStatus status = Complete(read_, deadline, got);
        if (got > 0) return {IoStatus::Ok, got};
        if (status == IoStatus::LineError) return {Lost(), 0};
        if (status != IoStatus::Ok) return {status, 0};
      }
      if (got > 0) return {IoStatus::Ok, got};
      const IoStatus status = WaitForInput(deadline);
      if (status != IoStatus::Ok) return {status, 0};
    }
  }

  IoStatus WaitReadable(uint32_t timeoutMs) override {
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeoutMs);
    if (hungUp_.load()) return AfterHangUp(deadline);
    return WaitForInput(deadline);
  }

  void Wake() override { ::SetEvent(wake_.get()); }
  void ClearWake() override { ::ResetEvent(wake_.get()); }

 private:
  // Waits until a received byte is there, for Wake or until deadline.
  IoStatus WaitForInput(std::optional<Clock::time_point> deadline) {
    for (;;) {
      const std::optional<QueueLevels> levels = Levels();
      if (!levels) return Lost();
      if (levels->input > 0) return IoStatus::Ok;
      wait_.Reset();
      DWORD events = 0;
      if (::WaitCommEvent(port_.get(), &events, &wait_.record) != 0) continue;
      if (::GetLastError() != ERROR_IO_PENDING) return Lost();
      // A byte that arrived just before the wait began raises no event.
      const std::optional<QueueLevels> again = Levels();
      if (again && again->input > 0) {
        CallOff(wait_);
        return IoStatus::Ok;
      }
      const Clock::time_point look = Clock::now() + kInputLookMs;
      const bool lookFirst = !deadline || look < *deadline;
      DWORD unused = 0;
      const IoStatus status = Complete(wait_, lookFirst ? look : *deadline, unused);
      if (status == IoStatus::LineError) return Lost();
      if (status == IoStatus::TimedOut && lookFirst) continue;
      if (status != IoStatus::Ok) return status;
    }
  }

  // Waits for a pending operation, for Wake or until deadline; the
  // operation is called off unless it completed. done: the bytes moved.
  IoStatus Complete(Overlapped& operation, std::optional<Clock::time_point> deadline, DWORD& done) {
    const HANDLE events[2] = {operation.event.get(), wake_.get()};
    const DWORD which = ::WaitForMultipleObjects(2, events, FALSE, WaitMilliseconds(deadline));
    if (which == WAIT_OBJECT_0) {
      if (::GetOverlappedResult(port_.get(), &operation.record, &done, FALSE) != 0) return IoStatus::Ok;
      return IoStatus::LineError;
    }
    done = CallOff(operation);
    if (which == WAIT_OBJECT_0 + 1) return IoStatus::Woken;
    if (which == WAIT_TIMEOUT) return IoStatus::TimedOut;
    return IoStatus::LineError;
  }

  // Cancels a pending operation and waits until it has ended; the bytes it
  // moved before.
  DWORD CallOff(Overlapped& operation) {
    ::CancelIoEx(port_.get(), &operation.record);
    DWORD done = 0;
    ::GetOverlappedResult(port_.get(), &operation.record, &done, TRUE);
    return done;
  }

  IoStatus WaitWake(std::optional<Clock::time_point> deadline) override {
    if (::WaitForSingleObject(wake_.get(), WaitMilliseconds(deadline)) == WAIT_OBJECT_0) return IoStatus::Woken;
    return IoStatus::TimedOut;
  }

  win32::Handle port_;
  win32::Handle wake_;
  Overlapped read_;
  Overlapped write_;
  Overlapped wait_;
};

OpenError OpenFailureOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return OpenError::NoSuchPort;
    // The port is opened by another program: Windows says access denied.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return OpenError::InUse;
    default: return OpenError::CannotOpen;
  }
}

// "Not shared": a second opener is refused by the system.
win32::Handle OpenComm(const std::string& path) {
  return win32::Handle(::CreateFileW(win32::WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

bool IsCommDevice(HANDLE port) {
  DCB probe{};
  probe.DCBlength = sizeof probe;
  return ::GetCommState(port, &probe) != 0;
}

void LowerModemLines(HANDLE port) {
  LineCall(port, CLRDTR);
  LineCall(port, CLRRTS);
}

}  // namespace

std::unique_ptr<SerialPort> OpenLocalPort(const std::string& path, uint32_t rate, OpenFailure& failure) {
  win32::Handle device = OpenComm(path);
  if (!device.valid()) {
    const DWORD code = ::GetLastError();
    return FailOpen(failure, OpenFailureOf(code), static_cast<int>(code));
  }
  const HANDLE handle = device.get();
  if (!IsCommDevice(handle)) return FailOpen(failure, OpenError::NotSerial);
  win32::Handle wake(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!wake.valid()) return FailOpen(failure, OpenError::CannotOpen, static_cast<int>(::GetLastError()));
  auto port = std::make_unique<CommPort>(path, std::move(device), std::move(wake));
  if (!port->valid()) return FailOpen(failure, OpenError::CannotOpen, static_cast<int>(::GetLastError()));
  if (!ConfigureRaw(handle, rate)) return FailOpen(failure, OpenError::BadRate, static_cast<int>(::GetLastError()));
  if (!SetReadTimeouts(handle) || ::SetCommMask(handle, EV_RXCHAR) == 0) {
    return FailOpen(failure, OpenError::CannotConfigure, static_cast<int>(::GetLastError()));
  }
  LowerModemLines(handle);
  ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return port;
}

bool LocalPortAvailable(const std::string& path) {
  const win32::Handle device = OpenComm(path);
  if (!device.valid() || !IsCommDevice(device.get())) return false;
  LowerModemLines(device.get());  // raised by the open
  return true;
}

}  // namespace zk::com::detail
