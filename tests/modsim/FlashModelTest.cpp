#include "FlashFixture.h"
#include "modsim/FaultInjector.h"
#include "modsim/FlashModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

Bytes ReadBack(const FlashModel& flash, uint32_t address, std::size_t n) {
  Bytes out(n);
  flash.Read(address, out);
  return out;
}

TEST(FlashModel, StartsErasedAndProgrammingOnlyClearsBits) {
  FlashModel flash(test::SmallBanks());
  EXPECT_THAT(ReadBack(flash, 0x0, 16), Each(0xFF));
  EXPECT_EQ(flash.Program(0x10, Bytes{0xF0, 0x0F}), kFlashOk);
  EXPECT_EQ(flash.Program(0x10, Bytes{0x30, 0x0F}), kFlashOk);        // clears more bits: fine
  EXPECT_EQ(flash.Program(0x10, Bytes{0x30, 0x1F}), kFlashNotBlank);  // would set a bit
  EXPECT_THAT(ReadBack(flash, 0x10, 2), ElementsAre(0x30, 0x0F));
  // A refused write changes nothing, not even its first byte.
  EXPECT_EQ(flash.Program(0x20, Bytes{0x00, 0x00}), kFlashOk);
  EXPECT_EQ(flash.Program(0x1F, Bytes{0x00, 0xFF}), kFlashNotBlank);
  EXPECT_EQ(ReadBack(flash, 0x1F, 1)[0], 0xFF);
}

TEST(FlashModel, EraseSetsWholeSectorsBackToFF) {
  FlashModel flash(test::SmallBanks());
  flash.Program(0x0FF, Bytes{0, 0});  // the last byte of sector 0, the first of sector 1
  flash.Program(0x250, Bytes{0});
  const EraseResult result = flash.EraseSectors(0x100, 0x100, nullptr);
  EXPECT_EQ(result.status, kFlashOk);
  EXPECT_EQ(result.erasedSectors, 1u);
  EXPECT_THAT(ReadBack(flash, 0x0FF, 2), ElementsAre(0x00, 0xFF));
  EXPECT_EQ(ReadBack(flash, 0x250, 1)[0], 0x00);
  EXPECT_EQ(flash.EraseChip(0, nullptr).status, kFlashHardwareProtected);
  EXPECT_THAT(ReadBack(flash, 0x0, 0x300), Each(0xFF));
}

TEST(FlashModel, BlockEraseCoversTheWholeBlock) {
  FlashModel flash(test::SmallBanks());
  flash.Program(0x7FF, Bytes{0});
  flash.Program(0x400, Bytes{0});
  const EraseResult result = flash.EraseBlocks(0x500, 0x500, nullptr);
  EXPECT_EQ(result.erasedSectors, 2u);
  EXPECT_THAT(ReadBack(flash, 0x400, 0x400), Each(0xFF));
}

TEST(FlashModel, ProtectionIsEnforcedByTheModule) {
  FlashModel flash(test::SmallBanks());
  EXPECT_EQ(flash.Program(0x3FF, Bytes{0}), kFlashHardwareProtected);
  EXPECT_EQ(flash.CheckRead(0x300, 0x100), kFlashOk);  // hardware protection still reads
  EXPECT_EQ(flash.Program(0x1600, Bytes{0}), kFlashFirmwareUsed);
  EXPECT_EQ(flash.CheckRead(0x1500, 0x101), kFlashFirmwareUsed);

  const EraseResult result = flash.EraseSectors(0x200, 0x3FF, nullptr);
  EXPECT_EQ(result.status, kFlashHardwareProtected);
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_EQ(result.failed[0].address, 0x300u);
  EXPECT_EQ(result.erasedSectors, 1u);
}

TEST(FlashModel, AddressesOutsideOneBankAreInvalid) {
  FlashModel flash(test::SmallBanks());
  EXPECT_EQ(flash.Program(0xBFF, Bytes{0, 0}), kFlashBadAddress);  // past the end of bank 0
  EXPECT_EQ(flash.Program(0xC00, Bytes{0}), kFlashBadAddress);     // between the banks
  EXPECT_EQ(flash.CheckRead(0x0, 0x2000), kFlashBadAddress);
  EXPECT_EQ(flash.EraseSectors(0x200, 0x100, nullptr).status, kFlashBadAddress);
  EXPECT_EQ(flash.EraseSectors(0xB00, 0x1000, nullptr).status, kFlashBadAddress);
}

TEST(FlashModel, SectorStatusFollowsTheContentByStep) {
  FlashModel flash(test::SmallBanks());
  flash.Program(0x180, Bytes{0x7F});
  std::vector<SectorOutcome> entries;
  EXPECT_EQ(flash.SectorStatus(0x0, 0x2FF, 0x100, entries), kFlashOk);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].status, 34);
  EXPECT_EQ(entries[1].address, 0x100u);
  EXPECT_EQ(entries[1].status, 33);
  EXPECT_EQ(entries[2].status, 34);

  EXPECT_EQ(flash.SectorStatus(0x1400, 0x17FF, 0x200, entries), kFlashOk);
  EXPECT_EQ(entries[1].status, 35);  // used by the firmware: not accessible
  EXPECT_EQ(flash.SectorStatus(0xB00, 0xCFF, 0x100, entries), kFlashOk);
  EXPECT_EQ(entries[1].status, 35);  // no flash there

  EXPECT_EQ(flash.SectorStatus(0x0, 0x100, 0, entries), kFlashBadAddress);
  EXPECT_EQ(flash.SectorStatus(0x0, 0xFFFFFFFF, 1, entries), kFlashBadAddress);  // more than 65535 entries
}

TEST(FlashModel, EraseFailFaultListsTheSectorAndKeepsItsContent) {
  FlashModel flash(test::SmallBanks());
  FaultInjector faults(1, {});
  faults.AddRule({FaultKind::kEraseFail, 2, std::nullopt});
  flash.Program(0x100, Bytes{0});
  const EraseResult result = flash.EraseSectors(0x0, 0x1FF, &faults);
  EXPECT_EQ(result.status, kFlashNotBlank);
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_EQ(result.failed[0].address, 0x100u);
  EXPECT_EQ(ReadBack(flash, 0x100, 1)[0], 0x00);
}

TEST(FlashModel, ReportsEveryChangeToItsObserver) {
  FlashModel flash(test::SmallBanks());
  std::vector<std::pair<std::size_t, std::size_t>> changes;
  flash.SetObserver([&](std::size_t offset, std::size_t size) { changes.emplace_back(offset, size); });
  flash.Program(0x1002, Bytes{1, 2});
  flash.EraseSectors(0x1000, 0x1000, nullptr);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0], (std::pair<std::size_t, std::size_t>{0xC02, 2}));  // bank 1 follows bank 0's 0xC00 bytes
  EXPECT_EQ(changes[1], (std::pair<std::size_t, std::size_t>{0xC00, 0x200}));
}

TEST(FlashLayout, ReadsADescriptionFileAndScalesItForTwoChips) {
  const IniFile file = IniFile::Parse(
      "[General]\nNumberOfBlocks=2\nFlashID=8449\nFlashSize=256\n"
      "[Block 1]\nOffset=0\nSectorSize=4000\nNumberOfSectors=4\n"
      "[Block 2]\nOffset=0x10000\nSectorSize=0x10000\nNumberOfSectors=3\n");
  std::string error;
  const auto layout = ParseFlashLayout(file, &error);
  ASSERT_TRUE(layout) << error;
  EXPECT_EQ(layout->Size(), 0x40000u);
  EXPECT_EQ(layout->flashId, 8449u);
  EXPECT_EQ(layout->Scaled(2).blocks[1].offset, 0x20000u);
  EXPECT_EQ(layout->Scaled(2).Size(), 0x80000u);
}

TEST(FlashLayout, RefusesIncompleteOrOverlappingBlocks) {
  std::string error;
  EXPECT_FALSE(
      ParseFlashLayout(IniFile::Parse("[General]\nNumberOfBlocks=1\n[Block 1]\nOffset=0\nSectorSize=100\n"), &error));
  EXPECT_NE(error.find("NumberOfSectors"), std::string::npos);
  EXPECT_FALSE(ParseFlashLayout(IniFile::Parse("[General]\nNumberOfBlocks=2\n"
                                               "[Block 1]\nOffset=0\nSectorSize=100\nNumberOfSectors=2\n"
                                               "[Block 2]\nOffset=100\nSectorSize=100\nNumberOfSectors=2\n"),
                                &error));
  EXPECT_FALSE(ParseFlashLayout(
      IniFile::Parse("[General]\nNumberOfBlocks=1\n[Block 1]\nOffset=0\nSectorSize=1G\nNumberOfSectors=1\n"), &error));
  EXPECT_EQ(FlashInfoFileName(0x00A7, 0x2101, 0x0001), "00a7x2101x0001.ini");
}

}  // namespace
}  // namespace zk::modsim
