#pragma once
// Test doubles for the simulator's state machines: a byte sink that records
// what is sent, a clock the test moves by hand, and the fixture that drives a
// machine with both.
#include "modsim/ByteSink.h"
#include "modsim/Clock.h"
#include "modsim/FaultInjector.h"
#include "modsim/LinkPeer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace zk::modsim::test {

using Bytes = std::vector<uint8_t>;

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

// A state machine on the module's side of the line, driven byte by byte as
// the host sends: the clock the test moves, the sink the machine answers
// into, and its fault injector (no faults until a test adds a rule).
class MachineTest : public ::testing::Test {
 protected:
  // Feeds the bytes to machine, gap apart; returns what it sent meanwhile.
  template <typename Machine>
  Bytes FeedTo(Machine& machine, const Bytes& bytes, Duration gap) {
    for (uint8_t b : bytes) machine.OnByte(b, clock_.Advance(gap));
    return sink_.Take();
  }

  ManualClock clock_;
  RecordingSink sink_;
  FaultInjector faults_{1, {}};
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

// A 3964R block as the host sends it: data with DLE doubled, DLE ETX or ETB,
// and the XOR check over everything after the DLE that answered STX.
inline std::vector<uint8_t> HostBlock(const std::vector<uint8_t>& data, bool last = true) {
  std::vector<uint8_t> out;
  uint8_t bcc = 0;
  for (uint8_t b : data) {
    out.push_back(b);
    bcc ^= b;
    if (b == kDle) {
      out.push_back(b);
      bcc ^= b;
    }
  }
  const uint8_t end = last ? kEtx : kEtb;
  out.insert(out.end(), {kDle, end});
  bcc ^= kDle ^ end;
  out.push_back(bcc);
  return out;
}

// The data of one block the module sent (DLE STX already answered), or
// nothing when the bytes are no complete block with a correct check.
inline std::optional<std::vector<uint8_t>> ParseModuleBlock(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> data;
  uint8_t bcc = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bcc ^= bytes[i];
    if (bytes[i] != kDle) {
      data.push_back(bytes[i]);
      continue;
    }
    if (++i >= bytes.size()) return std::nullopt;
    bcc ^= bytes[i];
    if (bytes[i] == kDle) {
      data.push_back(kDle);
    } else if (bytes[i] == kEtx && i + 2 == bytes.size() && bytes[i + 1] == bcc) {
      return data;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace zk::modsim::test
