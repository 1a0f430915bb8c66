// The flash info page's rules that need no window: sector classification
// and grouping, row texts, flash description names and bank lines, the bank
// keys of a module description.
#include "client/ModuleBanks.h"
#include "gui/flashinfo/FlashDescription.h"
#include "gui/flashinfo/SectorGroups.h"
#include "tests/gui/GuiFixture.h"

#include <gtest/gtest.h>

namespace zk::gui {
namespace {

const AreaLists kAreas{{{0x4000, 0x7FFF}, {0x9000, 0x9FFF}}, {{0x20000, 0x2FFFF}, {0x30800, 0x30FFF}}};

TEST(ClassifySectorTest, InsidePartlyOrOutsideTheAreas) {
  EXPECT_EQ(ClassifySector(0x0000, 0x3FFF, kAreas), kFullAccess);
  EXPECT_EQ(ClassifySector(0x4000, 0x7FFF, kAreas), kProtectedBySoftware);
  EXPECT_EQ(ClassifySector(0x8000, 0xBFFF, kAreas), kPartialAccess);  // half covered
  EXPECT_EQ(ClassifySector(0x20000, 0x2FFFF, kAreas), kNoAccess);
  EXPECT_EQ(ClassifySector(0x30000, 0x3FFFF, kAreas), kPartialAccess);
  // A software protected sector touched by a no-access area stays 66.
  const AreaLists both{{{0x0, 0xFFFF}}, {{0x8000, 0x1FFFF}}};
  EXPECT_EQ(ClassifySector(0x0, 0xFFFF, both), kProtectedBySoftware);
  EXPECT_EQ(ClassifySector(0x10000, 0x1FFFF, both), kNoAccess);
}

std::vector<SectorRecord> WithCodes(std::initializer_list<ResultCode> codes) {
  std::vector<SectorRecord> sectors;
  for (const ResultCode code : codes) sectors.push_back({0, 0, code, kStatusUnknown});
  return sectors;
}

TEST(GroupProtectionTest, AggregatesTheSectorsCodes) {
  EXPECT_EQ(GroupProtection(WithCodes({70, 70})), kFullAccess);
  EXPECT_EQ(GroupProtection(WithCodes({70, 68})), kPartialAccess);
  EXPECT_EQ(GroupProtection(WithCodes({70, 69})), kPartialAccess);
  EXPECT_EQ(GroupProtection(WithCodes({66, 70})), kPartialAccess);
  EXPECT_EQ(GroupProtection(WithCodes({69, 69})), kNoAccess);
  EXPECT_EQ(GroupProtection(WithCodes({66, 69})), kNoAccess);
  EXPECT_EQ(GroupProtection(WithCodes({66, 66})), kProtectedBySoftware);
  EXPECT_EQ(GroupProtection(WithCodes({})), kFullAccess);
}

TEST(SectorGroupsTest, GroupsNumberTheSectorsOverAllBanks) {
  CSectorGroups groups;
  const FlashBlock bank0[] = {{0, 0x4000, 4}, {0x10000, 0x10000, 3}};
  const FlashBlock bank1[] = {{0x40000, 0x10000, 8}};
  EXPECT_TRUE(groups.AddBlocks(bank0, 2, kAreas));
  EXPECT_TRUE(groups.AddBlocks(bank1, 1, {}));
  ASSERT_EQ(groups.Groups().size(), 3u);
  EXPECT_EQ(GroupNumberText(groups.Groups()[1]), "Sector 4 - 6");
  EXPECT_EQ(GroupNumberText(groups.Groups()[2]), "Sector 7 - 14");
  EXPECT_EQ(RangeText(groups.Groups()[2].start, groups.Groups()[2].End()), "0x00040000 - 0x000BFFFF");
  const GroupRecord& first = groups.Groups()[0];
  EXPECT_EQ(first.sectors[1].protection, kProtectedBySoftware);
  EXPECT_EQ(first.sectors[2].protection, kPartialAccess);
  EXPECT_EQ(first.protection, kPartialAccess);
  EXPECT_EQ(first.sectors[3].start, 0xC000u);
  EXPECT_EQ(first.sectors[3].end, 0xFFFFu);
  EXPECT_EQ(first.status, kStatusUnknown);
}

TEST(SectorGroupsTest, ACountOf0xFFFFEndsTheBanksBlocks) {
  CSectorGroups groups;
  const FlashBlock blocks[] = {{0, 0x4000, 4}, {0x10000, 0x10000, 0xFFFF}, {0x40000, 0x10000, 3}};
  EXPECT_FALSE(groups.AddBlocks(blocks, 3, {}));
  EXPECT_EQ(groups.Groups().size(), 1u);
  EXPECT_EQ(groups.NextSector(), 4u);
}

TEST(SectorGroupsTest, ProtectedAreasSwitchTurnsSoftwareProtectionOffAndBack) {
  CSectorGroups groups;
  const FlashBlock blocks[] = {{0x4000, 0x4000, 1}, {0x8000, 0x4000, 1}};
  groups.AddBlocks(blocks, 2, kAreas);
  groups.EnableProtectedAreas();
  EXPECT_EQ(groups.Groups()[0].protection, kFullAccess);
  EXPECT_EQ(groups.Groups()[1].protection, kPartialAccess);
  groups.Reclassify(kAreas);
  EXPECT_EQ(groups.Groups()[0].protection, kProtectedBySoftware);
}

TEST(SectorGroupsTest, RangesStayWithin32Bits) {
  CSectorGroups groups;
  const FlashBlock blocks[] = {{0xFFFF0000, 0x10000, 2}};
  groups.AddBlocks(blocks, 1, {});
  EXPECT_EQ(groups.Groups()[0].End(), 0xFFFFFFFFu);
  EXPECT_EQ(groups.Groups()[0].sectors[0].end, 0xFFFFFFFFu);
}

TEST(RowTextTest, ProtectionAndStatusTexts) {
  EXPECT_EQ(ProtectionText(66), "software protected");
  EXPECT_EQ(ProtectionText(68), "partial access");
  EXPECT_EQ(ProtectionText(69), "no access");
  EXPECT_EQ(ProtectionText(70), "full access");
  EXPECT_EQ(ProtectionText(0), "full access");
  EXPECT_EQ(StatusText(0), "blank");
  EXPECT_EQ(StatusText(34), "blank");
  EXPECT_EQ(StatusText(33), "not blank");
  EXPECT_EQ(StatusText(35), "unknown");
  EXPECT_EQ(SectorNumberText(12), "Sector 12");
}

TEST(FlashDescriptionTest, FileNameAndBankLine) {
  const FlashLibInfo library{{1, 0x2101, 0x00A7, 1}};
  EXPECT_EQ(FlashDescriptionName(library), "00a7x2101x0001.ini");
  EXPECT_EQ(FlashDescriptionPath("/opt/zk", library), "/opt/zk/FlashInfo/00a7x2101x0001.ini");
  BankLineFields fields;
  fields.bank = 1;
  fields.deviceName = "ZKF256";
  fields.library = library;
  fields.flashSize = "256";
  fields.doubled = true;
  fields.startText = "0x040000";
  EXPECT_EQ(BankLine(fields), "Bank 1: ZKF256\t2101H\t00A7H\t256 kB x2\t0x040000");
}

TEST(ModuleBanksTest, BankCountAndPerBankKeys) {
  test::TempDir dir;
  const std::string path = dir.Path() + "/modul.ini";
  test::WriteFile(path, "[FlashConfig]\nFlashStart=0x10\nFlashMode=0\nFlashStart1=0x20\nFlashMode1=1\n");
  const IniFileAccess module(path);
  EXPECT_EQ(client::BankCount(module), 1);  // no FlashBanks
  EXPECT_EQ(client::BankStart(module, 1), 0x20u);
  EXPECT_EQ(client::BankStartText(module, 1), "0x20");
  EXPECT_EQ(client::BankEnd(module, 0), 0xFFFFFFFFu);
  EXPECT_EQ(client::BankMode(module, 0), 0);
  EXPECT_EQ(client::BankMode(module, 1), 1);
  EXPECT_EQ(client::BankMode(module, 2), 255);  // a bank without its own FlashMode2 has none
  for (const auto& [banks, count] : {std::pair{"255", 1}, {"0", 1}, {"-1", 1}, {"3", 3}, {"500", kMaxBanks}}) {
    test::WriteFile(path, std::string("[FlashConfig]\nFlashBanks=") + banks + "\n");
    EXPECT_EQ(client::BankCount(module), count) << banks;
  }
}

}  // namespace
}  // namespace zk::gui
