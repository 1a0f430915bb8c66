#include "tests/dm/DmFixture.h"

#include <cstring>

namespace zk::dm::test {
namespace {

using LayoutTest = DmTest;

const std::string kTwoBlocks =
    "[Block 1]\r\nOffset=0\r\nSectorSize=0x2000\r\nNumberOfSectors=8\r\n"
    "[Block 2]\r\nOffset=0x10000\r\nSectorSize=10000\r\nNumberOfSectors=3\r\n";

bool Same(const FlashBlock& a, const FlashBlock& b) {
  return a.start == b.start && a.sectorSize == b.sectorSize && a.sectorCount == b.sectorCount;
}

TEST_F(LayoutTest, BlocksUpToTheBanksFlashEnd) {
  Module("[FlashConfig]\r\nFlashStart=0x80000\r\nFlashEnd=0x9FFFF\r\nFlashMode=1\r\n");
  Login();
  SelectFlash(kTwoBlocks, 2);
  SectorInfos infos{};
  std::memset(infos.reserved, 0x5C, sizeof infos.reserved);
  ASSERT_EQ(DmGetSectorInfos(nullptr, &infos), kOk);
  ASSERT_EQ(infos.blockCount, 2u);
  EXPECT_TRUE(Same(infos.blocks[0], {0x80000, 0x2000, 8}));
  EXPECT_TRUE(Same(infos.blocks[1], {0x90000, 0x10000, 1}));
  EXPECT_EQ(infos.flashId, 7u);
  EXPECT_EQ(infos.flashSize, 65536u);
  EXPECT_EQ(infos.reserved[31], 0x5C);
  EXPECT_EQ(State().window.start.load(), 0x80000u);
  EXPECT_EQ(State().window.end.load(), 0xA0000u);
  ASSERT_EQ(fake_.Calls("CmmSetEndOfFlash").size(), 1u);
  EXPECT_EQ(fake_.Calls("CmmSetEndOfFlash")[0].args[0], 0xA0000u);
  EXPECT_EQ(DmFreeMemory(infos.blocks), kOk);
}

TEST_F(LayoutTest, FlashEndBeyondTheLastBlockKeepsEveryBlock) {
  Module("[FlashConfig]\r\nFlashStart=80000\r\nFlashEnd=FFFFFF\r\nFlashMode=1\r\n");
  Login();
  SelectFlash(kTwoBlocks, 2);
  SectorInfos infos{};
  ASSERT_EQ(DmGetSectorInfos(nullptr, &infos), kOk);
  ASSERT_EQ(infos.blockCount, 2u);
  EXPECT_EQ(Copy(infos.blocks[1].sectorCount), 3u);
  EXPECT_EQ(State().window.end.load(), 0xC0000u);
}

TEST_F(LayoutTest, ModeZeroDoublesTheSectorSizes) {
  const std::vector<std::pair<std::string, uint32_t>> modes = {
      {"0", 0x4000}, {"1", 0x2000}, {"zz", 0x2000}, {"2", 0x2000}};
  for (const auto& [mode, size] : modes) {
    Module("[FlashConfig]\r\nFlashStart=0\r\nFlashEnd=0xFFFFFF\r\nFlashMode=" + mode + "\r\n");
    Login();
    SelectFlash(kTwoBlocks, 2);
    SectorInfos infos{};
    ASSERT_EQ(DmGetSectorInfos(const_cast<FlashLibInfo*>(&kFlash), &infos), kOk) << mode;
    EXPECT_EQ(Copy(infos.blocks[0].sectorSize), size) << mode;
  }
}

TEST_F(LayoutTest, TheFlashDescriptionIsFoundIgnoringCaseAndTrailingSeparators) {
  dir_.Write("Zelkor.ini", "[Paths]\r\nINIFilePath=Flashes\\Chips\\\r\n");
  dir_.Write("Flashes/Chips/2780X00BFX0004.INI", "[General]\r\nNumberOfBlocks=1\r\n" + kTwoBlocks);
  Login();
  SectorInfos infos{};
  ASSERT_EQ(DmGetSectorInfos(const_cast<FlashLibInfo*>(&kFlash), &infos), kOk);
  EXPECT_EQ(infos.blockCount, 1u);
}

TEST_F(LayoutTest, IncompleteDescriptionsGive225) {
  SectorInfos infos{};
  // No module description yet.
  EXPECT_EQ(DmGetSectorInfos(const_cast<FlashLibInfo*>(&kFlash), &infos), kInvalidFileFormat);
  EXPECT_EQ(infos.blockCount, 0u);

  Module("[FlashConfig]\r\nFlashStart=0\r\nFlashEnd=0xFFFF\r\n");  // FlashMode missing
  Login();
  SelectFlash(kTwoBlocks, 2);
  EXPECT_EQ(DmGetSectorInfos(nullptr, &infos), kInvalidFileFormat);
  EXPECT_EQ(infos.blockCount, 0u);
  EXPECT_EQ(Copy(infos.blocks), nullptr);

  Module("");
  for (const std::string& general : {std::string("FlashID=1\r\n"), std::string("NumberOfBlocks=0\r\n")}) {
    FlashDescription("[General]\r\n" + general + kTwoBlocks);
    EXPECT_EQ(DmGetSectorInfos(nullptr, &infos), kInvalidFileFormat) << general;
    EXPECT_EQ(Copy(infos.blocks), nullptr);
  }
  EXPECT_EQ(dm::Handouts().Count(), 0u);
  EXPECT_TRUE(fake_.Calls("CmmSetEndOfFlash").empty());
}

TEST_F(LayoutTest, ABlockWithMissingKeysLeavesTheArrayPartlyFilled) {
  Login();
  SelectFlash("[Block 1]\r\nOffset=0\r\nSectorSize=100\r\nNumberOfSectors=2\r\n[Block 2]\r\nOffset=200\r\n", 3);
  SectorInfos infos{};
  EXPECT_EQ(DmGetSectorInfos(nullptr, &infos), kInvalidFileFormat);
  ASSERT_EQ(infos.blockCount, 3u);
  EXPECT_TRUE(Same(infos.blocks[0], {0, 0x100, 2}));
  EXPECT_EQ(Copy(infos.blocks[1].start), 0x200u);
  EXPECT_EQ(Copy(infos.blocks[1].sectorCount), 0u);
  EXPECT_EQ(infos.flashId, 7u);
  EXPECT_EQ(State().window.end.load(), 0u);
  EXPECT_EQ(DmFreeMemory(infos.blocks), kOk);
}

TEST_F(LayoutTest, NonsenseSizesAndAFlashEndBelowABlockGiveNoBlocks) {
  Module("[FlashConfig]\r\nFlashStart=0x80000\r\nFlashEnd=0x80FFF\r\nFlashMode=1\r\n");
  Login();
  SectorInfos infos{};
  // The second block starts above FlashEnd.
  SelectFlash(
      "[Block 1]\r\nOffset=0\r\nSectorSize=800\r\nNumberOfSectors=1\r\n"
      "[Block 2]\r\nOffset=2000\r\nSectorSize=1000\r\nNumberOfSectors=4\r\n",
      2);
  EXPECT_EQ(DmGetSectorInfos(nullptr, &infos), kInvalidFileFormat);
  EXPECT_EQ(infos.blockCount, 0u);
  EXPECT_EQ(Copy(infos.blocks), nullptr);
  for (const std::string& block : {std::string("SectorSize=0\r\nNumberOfSectors=4\r\n"),
                                   std::string("SectorSize=100\r\nNumberOfSectors=70000\r\n"),
                                   std::string("SectorSize=100\r\nNumberOfSectors=-1\r\n")}) {
    SelectFlash("[Block 1]\r\nOffset=0\r\n" + block, 1);
    EXPECT_EQ(DmGetSectorInfos(nullptr, &infos), kInvalidFileFormat) << block;
  }
  EXPECT_EQ(State().window.end.load(), 0u);
}

TEST_F(LayoutTest, BankOfTheBaseAddressChoosesTheKeys) {
  Module(
      "[FlashConfig]\r\nFlashBanks=3\r\nFlashStart=0\r\nFlashEnd=0xFFFFF\r\nFlashMode=1\r\nFlashStart1="
      "0x100000\r\nFlashEnd1=0x1FFFFF\r\nFlashMode1=1\r\n"
      "FlashStart2=0x400000\r\nFlashEnd2=0x4FFFFF\r\nFlashMode2=0\r\n");
  Login();
  SelectFlash(kTwoBlocks, 2);
  BaseAddressRecord record{0x400000, 3};
  fake_.setResult("CmmSetFlashBaseAddress", kInvalidAddress);
  EXPECT_EQ(DmSetFlashBaseAddress(&record), kInvalidAddress);
  EXPECT_EQ(State().currentBank.load(), 2u);
  const std::vector<FakeCmdCall> calls = fake_.Calls("CmmSetFlashBaseAddress");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], 0x400000u);
  EXPECT_EQ(calls[0].args[1], 3u);
  SectorInfos infos{};
  ASSERT_EQ(DmGetSectorInfos(nullptr, &infos), kOk);
  EXPECT_TRUE(Same(infos.blocks[0], {0x400000, 0x4000, 8}));

  record.baseAddress = 0x123;  // no bank: the bank stays
  EXPECT_EQ(DmSetFlashBaseAddress(&record), kInvalidAddress);
  EXPECT_EQ(State().currentBank.load(), 2u);
}

TEST_F(LayoutTest, ABankWithoutFlashStartBeforeTheMatchGives225) {
  Module("[FlashConfig]\r\nFlashBanks=3\r\nFlashStart2=0x400000\r\n");
  Login();
  BaseAddressRecord record{0x400000, 0};
  EXPECT_EQ(DmSetFlashBaseAddress(&record), kInvalidFileFormat);
  EXPECT_TRUE(fake_.Calls("CmmSetFlashBaseAddress").empty());
}

TEST_F(LayoutTest, ProtectedAndNoAccessAreas) {
  Module(
      "[General]\r\nNumberOfProtectedAreas=3\r\nNumberOfNonAccessAreas =1\r\n"
      "[Protected Area 1]\r\nStartAddress=0x0\r\nEndAddress=1FFF\r\n"
      "[Protected Area 2]\r\nStartAddress= +0\r\nEndAddress=+1FFF\r\n"
      "[Protected Area 3]\r\nStartAddress=-0\r\nEndAddress=-FFF\r\n"
      "[Non Access Area 1]\r\nStartAddress=+10\r\nEndAddress=-20\r\n"
      "[FlashConfig]\r\nFlashStart=0x80000\r\nFlashEnd=0x9FFFF\r\nFlashMode=1\r\n");
  Login();
  ProtectedAreas areas{};
  // No layout yet: the relative area cannot be placed.
  EXPECT_EQ(DmGetProtectedAreas(&areas), kNoModuleSelected);
  EXPECT_EQ(areas.protectedCount, 3u);
  EXPECT_EQ(areas.protectedAreas[0].end, 0x1FFFu);
  EXPECT_EQ(DmFreeMemory(areas.protectedAreas), kOk);

  SelectFlash(kTwoBlocks, 2);
  SectorInfos infos{};
  ASSERT_EQ(DmGetSectorInfos(nullptr, &infos), kOk);
  ASSERT_EQ(DmGetProtectedAreas(&areas), kOk);
  ASSERT_EQ(areas.protectedCount, 3u);
  EXPECT_EQ(areas.protectedAreas[1].start, 0x80000u);
  EXPECT_EQ(areas.protectedAreas[1].end, 0x81FFFu);
  EXPECT_EQ(areas.protectedAreas[2].start, 0x9FFFFu);
  EXPECT_EQ(areas.protectedAreas[2].end, 0x9F000u);
  ASSERT_EQ(areas.noAccessCount, 1u);
  // Signs that differ: both texts are taken as they are, and are invalid.
  EXPECT_EQ(areas.noAccessAreas[0].start, 0xFFFFFFFFu);
  EXPECT_EQ(areas.noAccessAreas[0].end, 0xFFFFFFFFu);
}

TEST_F(LayoutTest, NoAreasWithoutAModuleDescription) {
  ProtectedAreas areas{};
  EXPECT_EQ(DmGetProtectedAreas(&areas), kOk);
  EXPECT_EQ(areas.protectedCount, 0u);
  EXPECT_EQ(areas.noAccessCount, 0u);
  EXPECT_EQ(Copy(areas.protectedAreas), nullptr);
  EXPECT_EQ(Copy(areas.noAccessAreas), nullptr);
}

TEST_F(LayoutTest, GeneralInfos) {
  GeneralInfos infos{};
  EXPECT_EQ(DmGetGeneralInfos(&infos), kNoModuleSelected);
  Module("[General]\r\nModulName=" + std::string(40, 'M') + "\r\nMicrocontroller=C167CR\r\n");
  Login();
  ASSERT_EQ(DmGetGeneralInfos(&infos), kOk);
  EXPECT_EQ(std::string(infos.moduleName), std::string(31, 'M'));
  EXPECT_EQ(std::string(infos.microcontroller), "C167CR");
  EXPECT_EQ(infos.flashMode, 1);
  std::string text = dir_.Read("modul.ini");
  text.erase(text.find("FlashMode=1"), 11);
  dir_.Write("modul.ini", text);
  ASSERT_EQ(DmGetGeneralInfos(&infos), kOk);
  EXPECT_EQ(infos.flashMode, -1);
}

}  // namespace
}  // namespace zk::dm::test
