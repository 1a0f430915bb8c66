#include "dm/NeededSectors.h"

#include <algorithm>

namespace zk::dm {
namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

// Merges sorted ranges that overlap or touch.
std::vector<ByteRange> Merged(std::vector<ByteRange> sorted) {
  std::vector<ByteRange> merged;
  for (const ByteRange& r : sorted) {
    if (!merged.empty() && uint64_t{r.first} <= uint64_t{merged.back().last} + 1) {
      merged.back().last = std::max(merged.back().last, r.last);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

}  // namespace

void ImageRanges::AddRange(uint32_t first, uint32_t last) {
  if (!ranges_.empty()) {
    ByteRange& back = ranges_.back();
    if (first < back.first) {
      sorted_ = false;
    } else if (uint64_t{first} <= uint64_t{back.last} + 1) {
      back.last = std::max(back.last, last);
      return;
    }
  }
  ranges_.push_back(ByteRange{first, last});
}

void ImageRanges::Add(uint32_t start, uint64_t length) {
  if (length == 0) return;
  const uint64_t end = uint64_t{start} + std::min(length, kAddressSpace);  // one past the last byte
  if (end <= kAddressSpace) {
    AddRange(start, static_cast<uint32_t>(end - 1));
  } else {
    AddRange(start, 0xFFFFFFFFu);
    AddRange(0, static_cast<uint32_t>(end - kAddressSpace - 1));
  }
}

std::vector<ByteRange> ImageRanges::Take() {
  std::vector<ByteRange> ranges = std::move(ranges_);
  ranges_.clear();
  if (!sorted_) {
    std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
    ranges = Merged(std::move(ranges));
  }
  sorted_ = true;
  return ranges;
}

std::vector<RangeRequest> NeededSectors(const std::vector<ByteRange>& ranges, std::span<const FlashBlock> blocks) {
  std::vector<RangeRequest> needed;
  for (const FlashBlock& block : blocks) {
    if (block.sectorCount == 0 || block.sectorSize == 0) continue;
    const uint64_t size = block.sectorSize;
    const uint64_t blockFirst = block.start;
    // Sectors above the address space cannot be touched.
    const uint64_t blockLast = std::min(blockFirst + block.sectorCount * size, kAddressSpace) - 1;
    auto it = std::lower_bound(ranges.begin(), ranges.end(), blockFirst,
                               [](const ByteRange& r, uint64_t first) { return r.last < first; });
    uint64_t nextSector = 0;  // sectors below it are listed already
    for (; it != ranges.end() && it->first <= blockLast; ++it) {
      const uint64_t from = (std::max<uint64_t>(it->first, blockFirst) - blockFirst) / size;
      const uint64_t to = (std::min<uint64_t>(it->last, blockLast) - blockFirst) / size;
      for (uint64_t k = std::max(from, nextSector); k <= to; ++k) {
        const uint64_t start = blockFirst + k * size;
        needed.push_back(
            RangeRequest{static_cast<uint32_t>(start), static_cast<uint32_t>(start + size - 1), block.sectorSize});
      }
      nextSector = std::max(nextSector, to + 1);
    }
  }
  return needed;
}

}  // namespace zk::dm
