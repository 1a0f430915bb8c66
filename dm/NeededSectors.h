#pragma once
// The sectors an image touches: every sector of the layout that any byte
// range of the image overlaps, in block order and within a block in address
// order, as {sector start, sector end, sector size}.
#include "common/DmRecords.h"
#include "common/Records.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zk::dm {

// first..last inclusive.
struct ByteRange {
  uint32_t first;
  uint32_t last;
};

// Collects the byte ranges of an image, merging each with the one before
// when it continues or overlaps it.
class ImageRanges {
 public:
  // length bytes from start; a span that runs past the top of the address
  // space continues at 0; an empty span adds nothing.
  void Add(uint32_t start, uint64_t length);
  // Sorted, disjoint and not adjacent.
  std::vector<ByteRange> Take();

 private:
  void AddRange(uint32_t first, uint32_t last);
  std::vector<ByteRange> ranges_;
  bool sorted_ = true;
};

std::vector<RangeRequest> NeededSectors(const std::vector<ByteRange>& ranges, std::span<const FlashBlock> blocks);

}  // namespace zk::dm
