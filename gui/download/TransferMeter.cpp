#include "gui/download/TransferMeter.h"

#include <algorithm>
#include <cmath>

namespace zk::gui {
namespace {

constexpr double kKilo = 1024.0;
constexpr uint32_t kFull = 100;

}  // namespace

void CTransferMeter::Start(uint64_t total, Clock::time_point now) {
  total_ = total;
  done_ = 0;
  start_ = now;
  last_ = now;
}

void CTransferMeter::Update(uint32_t percent, Clock::time_point now) {
  done_ = total_ * std::min(percent, kFull) / kFull;
  last_ = now;
}

double CTransferMeter::Seconds() const { return std::chrono::duration<double>(last_ - start_).count(); }

double CTransferMeter::Rate() const {
  const double seconds = Seconds();
  return seconds > 0 ? static_cast<double>(done_) / seconds : 0.0;
}

std::optional<double> CTransferMeter::SecondsLeft() const {
  const double rate = Rate();
  if (rate <= 0 || done_ == 0) return std::nullopt;
  return static_cast<double>(total_ - done_) / rate;
}

QString CTransferMeter::RateText(double bytesPerSecond) {
  if (bytesPerSecond < kKilo) return QString("%1 bytes/s").arg(std::lround(bytesPerSecond));
  return QString("%1 kB/s").arg(bytesPerSecond / kKilo, 0, 'f', 1);
}

QString CTransferMeter::ClockText(double seconds) {
  const long whole = std::max(0L, std::lround(seconds));
  return QString("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
}

QString CTransferMeter::ProgressText() const {
  QString text = QString("%1 of %2 bytes").arg(done_).arg(total_);
  if (Rate() > 0) text += ", " + RateText(Rate());
  if (const std::optional<double> left = SecondsLeft()) text += ", " + ClockText(*left) + " left";
  return text;
}

}  // namespace zk::gui
