#pragma once
// A software timer of the transport: a start tick and a duration in ms;
// duration 0 never expires.
#include "platform/Tick.h"

#include <cstdint>

namespace zk::link {

class SoftTimer {
 public:
  void Start(uint32_t now, uint32_t durationMs) {
    start_ = now;
    duration_ = durationMs;
  }
  void Stop() { duration_ = 0; }
  bool Expired(uint32_t now) const { return duration_ != 0 && TicksSince(start_, now) > duration_; }

 private:
  uint32_t start_ = 0;
  uint32_t duration_ = 0;
};

}  // namespace zk::link
