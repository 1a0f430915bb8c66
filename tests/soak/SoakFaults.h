#pragma once
// The faults of one soak run: which kind, and the simulator options that
// make it, drawn reproducibly from the run's seed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zk::soak {

enum class FaultProfile : uint8_t {
  kCorruption,  // one bit flipped with probability 1e-4 per byte, both directions
  kDrops,       // bytes lost with probability 1e-4, both directions
  kNakBlocks,   // the module refuses some received blocks
  kIgnored,     // the module takes one command and never answers it
  kWrongEcho,   // one answer comes back with a wrong byte 0
  kSilent,      // the module stops dead at some moment of the run
  kMixed,       // corruption, drops and refused blocks together
};
inline constexpr std::size_t kProfileCount = 7;

std::string_view ProfileName(FaultProfile profile);

struct RunFaults {
  FaultProfile profile = FaultProfile::kCorruption;
  std::vector<std::string> simulatorArgs;
  uint32_t silentAfterMs = 0;  // kSilent: when the module stops
  std::string Describe() const;
};

// Profiles take turns by run number; the details come from the seed.
RunFaults FaultsForRun(uint32_t run, uint64_t seed);

}  // namespace zk::soak
