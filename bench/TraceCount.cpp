#include "bench/TraceCount.h"

#include <cstdio>
#include <fstream>

namespace zk::bench {

std::optional<std::vector<Burst>> ReadBursts(const std::string& tracePath, double quietSeconds) {
  std::ifstream in(tracePath);
  if (!in) return std::nullopt;
  std::vector<Burst> bursts;
  std::string line;
  while (std::getline(in, line)) {
    // "     1.234567 rx byte     5A": rx came from the host, tx went to it.
    long long seconds = 0;
    long long micros = 0;
    char direction[3] = {};
    unsigned byte = 0;
    if (std::sscanf(line.c_str(), "%lld.%lld %2s byte %x", &seconds, &micros, direction, &byte) != 4) continue;
    const double at = static_cast<double>(seconds) + static_cast<double>(micros) * 1e-6;
    if (bursts.empty() || at - bursts.back().end > quietSeconds) bursts.push_back({at, at, {}});
    Burst& burst = bursts.back();
    burst.end = at;
    if (std::string_view(direction) == "rx") {
      ++burst.bytes.fromHost;
    } else {
      ++burst.bytes.toHost;
    }
  }
  return bursts;
}

}  // namespace zk::bench
