#include "dm/NeededSectors.h"

#include <gtest/gtest.h>

namespace zk::dm {
namespace {

bool operator==(const RangeRequest& a, const RangeRequest& b) {
  return a.start == b.start && a.end == b.end && a.third == b.third;
}

std::vector<ByteRange> Ranges(std::initializer_list<std::pair<uint32_t, uint64_t>> spans) {
  ImageRanges ranges;
  for (const auto& [start, length] : spans) ranges.Add(start, length);
  return ranges.Take();
}

TEST(NeededSectors, ABinaryImageNeedsTheSectorsItCovers) {
  const std::vector<FlashBlock> blocks = {{0x8000, 0x100, 64}};
  const std::vector<RangeRequest> needed = NeededSectors(Ranges({{0x8000, 1000}}), blocks);
  ASSERT_EQ(needed.size(), 4u);
  EXPECT_TRUE((needed[0] == RangeRequest{0x8000, 0x80FF, 0x100}));
  EXPECT_TRUE((needed[3] == RangeRequest{0x8300, 0x83FF, 0x100}));
}

TEST(NeededSectors, BlocksInOrderAndEachSectorOnce) {
  const std::vector<FlashBlock> blocks = {{0x80000, 0x2000, 8}, {0x90000, 0x10000, 1}};
  // Pages in two sectors of block 1 (one of them twice) and one of block 2.
  const std::vector<RangeRequest> needed =
      NeededSectors(Ranges({{0x80010, 16}, {0x81FF0, 0x20}, {0x83000, 1}, {0x9FFFF, 1}}), blocks);
  ASSERT_EQ(needed.size(), 3u);
  EXPECT_TRUE((needed[0] == RangeRequest{0x80000, 0x81FFF, 0x2000}));
  EXPECT_TRUE((needed[1] == RangeRequest{0x82000, 0x83FFF, 0x2000}));
  EXPECT_TRUE((needed[2] == RangeRequest{0x90000, 0x9FFFF, 0x10000}));
}

TEST(NeededSectors, RangesOutsideTheLayoutAndEmptyPagesNeedNothing) {
  const std::vector<FlashBlock> blocks = {{0x1000, 0x100, 4}};
  EXPECT_TRUE(NeededSectors(Ranges({{0x0, 0x1000}, {0x1400, 0x10}, {0x1100, 0}}), blocks).empty());
}

TEST(NeededSectors, UnorderedAndWrappingRangesAreMerged) {
  const std::vector<ByteRange> ranges = Ranges({{0x5000, 0x10}, {0x1000, 0x10}, {0xFFFFFFF8, 0x10}, {0x1008, 0x10}});
  ASSERT_EQ(ranges.size(), 4u);
  EXPECT_EQ(ranges[0].first, 0u);
  EXPECT_EQ(ranges[0].last, 7u);
  EXPECT_EQ(ranges[1].first, 0x1000u);
  EXPECT_EQ(ranges[1].last, 0x1017u);
  EXPECT_EQ(ranges[3].last, 0xFFFFFFFFu);
}

TEST(NeededSectors, ManyPagesAgainstManySectors) {
  std::vector<FlashBlock> blocks;
  for (uint32_t b = 0; b < 16; ++b) blocks.push_back({b * 0x100000, 0x1000, 256});
  ImageRanges ranges;
  for (uint32_t a = 0; a < 0x400000; a += 0x20) ranges.Add(a, 16);  // gaps between all pages
  const std::vector<RangeRequest> needed = NeededSectors(ranges.Take(), blocks);
  ASSERT_EQ(needed.size(), 1024u);
  EXPECT_EQ(needed.back().start, 0x3FF000u);
}

}  // namespace
}  // namespace zk::dm
