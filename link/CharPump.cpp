#include "link/CharPump.h"

#include <array>
#include <chrono>

namespace zk::link {

void CharPump::Run(const std::atomic<bool>& stop) {
  using Clock = std::chrono::steady_clock;
  // Bytes read in one go are handed out one by one, as if read singly.
  std::array<uint8_t, 256> pending{};
  std::size_t next = 0;
  std::size_t end = 0;
  uint16_t timeoutMs = 0;
  Clock::time_point lastCall = Clock::now();

  while (!stop.load()) {
    if (next == end) {
      uint32_t wait = com::kWaitForever;
      if (timeoutMs > 0) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastCall);
        wait = spent.count() >= timeoutMs ? 0 : static_cast<uint32_t>(timeoutMs - spent.count());
      }
      const com::ReadResult read = port_.Read(pending, wait);
      if (read.status == com::IoStatus::Ok) {
        next = 0;
        end = read.count;
      } else if (read.status == com::IoStatus::Woken && !stop.load()) {
        port_.ClearWake();
      } else if (read.status == com::IoStatus::LineError && !stop.load()) {
        // The line has gone: whatever waits on it fails now, not when its
        // time runs out.
        engine_.LineLost();
        port_.ReportLoss();
        timeoutMs = 0;
        continue;
      }
    }
    const Clock::time_point now = Clock::now();
    uint16_t result = 0;
    if (next < end) {
      result = engine_.Dispatch(pending[next++]);
    } else if (timeoutMs > 0 && now - lastCall >= std::chrono::milliseconds(timeoutMs)) {
      result = engine_.Dispatch(std::nullopt);
    } else {
      continue;
    }
    timeoutMs = result;
    lastCall = now;
  }
}

}  // namespace zk::link
