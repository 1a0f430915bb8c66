#pragma once
// Erasing for flash and erase: a list of sector ranges, bank by bank, as
// one "erase" phase; or every bank whole.
#include "cli/Session.h"

#include <cstdint>
#include <vector>

namespace zk::cli {

struct EraseRange {
  int bank = 0;
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
};

ExitCode EraseRanges(Session& session, const std::vector<EraseRange>& ranges);
ExitCode EraseChip(Session& session);

// The sectors an image loaded into the data manager needs in every bank
// when it is programmed at offset, and the bytes it programs.
struct NeededSectors {
  std::vector<EraseRange> ranges;
  uint64_t downloadBytes = 0;
};
ExitCode FindNeededSectors(Session& session, uint32_t offset, NeededSectors* needed);

}  // namespace zk::cli
