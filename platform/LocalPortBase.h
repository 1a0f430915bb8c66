#pragma once
// What the serial device of each backend (platform/LocalPort.cpp,
// platform/win32/LocalPort.cpp) shares above its OS calls: its name, the
// hang-up once found, the one report of the loss, and the open's failure.
#include "platform/PortFailure.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace zk::com::detail {

class LocalPortBase : public SerialPort {
 public:
  using Clock = std::chrono::steady_clock;

  void ReportLoss() override {
    if (hungUp_.load() && !lossReported_.exchange(true)) ReportConnectionLost(path_);
  }

 protected:
  explicit LocalPortBase(std::string path) : path_(std::move(path)) {}

  // Waits until deadline; only Wake can end the wait early.
  virtual IoStatus WaitWake(std::optional<Clock::time_point> deadline) = 0;

  // After a hang-up a read or wait still takes its time (or until Wake), so
  // that a caller looping on it never spins.
  IoStatus AfterHangUp(std::optional<Clock::time_point> deadline) {
    if (WaitWake(deadline) == IoStatus::Woken) return IoStatus::Woken;
    return IoStatus::LineError;
  }

  // Records the hang-up.
  IoStatus Lost() {
    hungUp_.store(true);
    return IoStatus::LineError;
  }

  const std::string path_;
  std::atomic<bool> hungUp_{false};

 private:
  std::atomic<bool> lossReported_{false};
};

// The failed open's answer: nullptr, with failure set.
inline std::unique_ptr<SerialPort> FailOpen(OpenFailure& failure, OpenError reason, int systemError = 0) {
  failure.error = reason;
  failure.systemError = systemError;
  return nullptr;
}

}  // namespace zk::com::detail
