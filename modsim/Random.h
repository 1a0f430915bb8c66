#pragma once
// A small seeded generator (SplitMix64) whose sequence is the same on every
// platform and standard library, so a fault run can be repeated exactly.
#include <cstdint>

namespace zk::modsim {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next();
  // Uniform in [0, 1).
  double NextUnit();

 private:
  uint64_t state_;
};

}  // namespace zk::modsim
