#pragma once
// How far a transfer of a known number of bytes has come, from the percent
// its worker reports: the bytes done, the rate since it started and the time
// left at that rate, as the download page shows them.
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace zk::gui {

class CTransferMeter {
 public:
  using Clock = std::chrono::steady_clock;

  void Start(uint64_t total, Clock::time_point now);
  void Update(uint32_t percent, Clock::time_point now);

  uint64_t Total() const { return total_; }
  uint64_t Done() const { return done_; }
  double Seconds() const;
  // Bytes a second since the start; 0 before any time has passed.
  double Rate() const;
  std::optional<double> SecondsLeft() const;

  // "12288 of 65536 bytes, 5.3 kB/s, 0:11 left"
  QString ProgressText() const;

  // "5.3 kB/s" (1024 bytes a kB), "812 bytes/s" below that.
  static QString RateText(double bytesPerSecond);
  // "0:11", "12:05"
  static QString ClockText(double seconds);

 private:
  uint64_t total_ = 0;
  uint64_t done_ = 0;
  Clock::time_point start_{};
  Clock::time_point last_{};
};

}  // namespace zk::gui
