#pragma once
// Counts the bytes a ModSim byte trace (--trace FILE --trace-bytes) shows
// on the line, split into bursts at quiet gaps, so that a benchmark can set
// its phases apart with pauses and check its own count against the line.
#include "bench/WireBudget.h"

#include <optional>
#include <string>
#include <vector>

namespace zk::bench {

struct Burst {
  double start = 0;  // seconds since the simulator started
  double end = 0;
  ByteCount bytes;
};

// The bursts of the trace, separated by gaps longer than quietSeconds;
// nullopt when the file cannot be read.
std::optional<std::vector<Burst>> ReadBursts(const std::string& tracePath, double quietSeconds);

}  // namespace zk::bench
