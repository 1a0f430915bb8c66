#include "platform/SerialPort.h"

#include "platform/ComPort.h"
#include "platform/Immortal.h"
#include "platform/LocalPort.h"
#include "platform/PortFailure.h"
#include "platform/RemotePort.h"
#include "platform/Trace.h"
#include "platform/TracedPort.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>

namespace zk::com {
namespace {

constexpr std::array<uint32_t, 11> kStandardRates{300, 600, 1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// How long a port scan waits for the host of a remote port.
constexpr uint32_t kRemoteProbeMs = 1000;

struct OpenerSlot {
  std::mutex mutex;
  SerialPortOpener opener;
};

// Never destroyed: a port may be opened while the process exits.
OpenerSlot& Opener() {
  static zk::detail::Immortal<OpenerSlot> slot;
  return *slot;
}

SerialPortOpener CurrentOpener() {
  OpenerSlot& slot = Opener();
  std::lock_guard lock(slot.mutex);
  return slot.opener;
}

}  // namespace

bool IsStandardRate(uint32_t rate) {
  return std::find(kStandardRates.begin(), kStandardRates.end(), rate) != kStandardRates.end();
}

bool IsSupportedRate(uint32_t rate) { return rate >= kLowestRate && rate <= kHighestRate; }

namespace {

std::unique_ptr<SerialPort> OpenDevice(const std::string& path, uint32_t rate, OpenFailure& failure) {
  if (IsRemoteMapping(path)) return OpenRemotePort(path, rate, failure);
  failure = OpenFailure{OpenError::None, 0, rate};
  if (!IsSupportedRate(rate)) {
    failure.error = OpenError::BadRate;
    return nullptr;
  }
  return detail::OpenLocalPort(path, rate, failure);
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, uint32_t rate, OpenError* error) {
  OpenFailure failure;
  std::unique_ptr<SerialPort> opened = OpenDevice(path, rate, failure);
  if (error != nullptr) *error = failure.error;
  return Traced(std::move(opened), path, rate);
}

std::unique_ptr<SerialPort> OpenSerialPort(unsigned port, uint32_t rate, OpenError* error) {
  const SerialPortOpener opener = CurrentOpener();
  if (error != nullptr) *error = OpenError::None;
  const std::string name = "COM" + std::to_string(port);
  if (opener) return Traced(opener(port, rate, error), name, rate);
  OpenFailure failure{OpenError::NoSuchPort, 0, rate};
  const std::optional<std::string> path = DevicePath(port);
  std::unique_ptr<SerialPort> opened = path ? OpenDevice(*path, rate, failure) : nullptr;
  if (!opened && trace::Enabled()) {
    trace::Line("port %s", PortFailureText(port, path.value_or(std::string()), failure).c_str());
  }
  ReportPortFailure(port, path.value_or(std::string()), failure);
  if (error != nullptr) *error = failure.error;
  return Traced(std::move(opened), name + " " + path.value_or(std::string()), rate);
}

bool PortAvailable(unsigned port) {
  const SerialPortOpener opener = CurrentOpener();
  if (opener) {
    OpenError error = OpenError::None;
    return opener(port, 9600, &error) != nullptr;
  }
  const std::optional<std::string> path = DevicePath(port);
  if (!path) return false;
  if (IsRemoteMapping(*path)) return RemoteHostAnswers(*path, kRemoteProbeMs);
  return detail::LocalPortAvailable(*path);
}

void SetSerialPortOpener(SerialPortOpener opener) {
  OpenerSlot& slot = Opener();
  std::lock_guard lock(slot.mutex);
  slot.opener = std::move(opener);
}

}  // namespace zk::com
