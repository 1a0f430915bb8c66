#pragma once
// Test doubles for the simulator's state machines: a byte sink that records
// what is sent and a clock the test moves by hand.
#include "modsim/ByteSink.h"
#include "modsim/Clock.h"

#include <cstdint>
#include <vector>

namespace zk::modsim::test {

class RecordingSink : public ByteSink {
 public:
  void Put(uint8_t byte, TimePoint) override { bytes.push_back(byte); }
  TimePoint DrainTime(TimePoint now) const override { return now; }
  void DiscardPending(TimePoint) override { ++discards; }

  // The bytes sent since the last call.
  std::vector<uint8_t> Take() {
    std::vector<uint8_t> taken;
    taken.swap(bytes);
    return taken;
  }

  std::vector<uint8_t> bytes;
  int discards = 0;
};

class ManualClock {
 public:
  TimePoint Now() const { return now_; }
  TimePoint Advance(Duration by) { return now_ += by; }

 private:
  TimePoint now_ = TimePoint{} + std::chrono::hours(1);
};

// Sum of the bytes' two's complement: what makes a boot-loader frame sum to 0.
inline uint8_t Checksum(const std::vector<uint8_t>& bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

inline std::vector<uint8_t> WithChecksum(std::vector<uint8_t> bytes) {
  bytes.push_back(Checksum(bytes));
  return bytes;
}

}  // namespace zk::modsim::test
