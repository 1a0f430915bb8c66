#include "tests/dm/DmFixture.h"
#include "tests/dm/HexTestSupport.h"

#include <gmock/gmock.h>

namespace zk::dm::test {
namespace {

using FlowTest = DmTest;
using ::testing::ElementsAre;

// The address of each request.
std::vector<uint32_t> Addresses(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& requests) {
  std::vector<uint32_t> addresses;
  for (const auto& request : requests) addresses.push_back(request.first);
  return addresses;
}

std::string Binary(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 3 + 1);
  return bytes;
}

const std::string kAreaZeroTo1FFF =
    "[General]\r\nNumberOfProtectedAreas=1\r\n[Protected Area 1]\r\nStartAddress=0x0\r\nEndAddress=0x1FFF\r\n";

TEST_F(FlowTest, FlatImageGoesInChunksOf248) {
  Login();
  ASSERT_EQ(LoadFile(Binary(600), kLoadBinary), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0x10000, nullptr)), kOk);
  const auto requests = Requests();
  ASSERT_THAT(Addresses(requests), ElementsAre(0x10000u, 0x100F8u, 0x101F0u));
  EXPECT_EQ(requests[0].second.size(), 248u);
  EXPECT_EQ(requests[1].second.size(), 248u);
  EXPECT_EQ(requests[2].second.size(), 104u);
  EXPECT_EQ(requests[2].second.back(), static_cast<uint8_t>(599 * 3 + 1));
  EXPECT_EQ(DmGetProgress(), 100u);
  EXPECT_TRUE(fake_.Calls("CmmProgStatusByte").empty());  // flat images only send data
}

TEST_F(FlowTest, AdjacentPagesAreMergedUpTo248Bytes) {
  Login();
  std::string hex;
  for (uint16_t i = 0; i < 16; ++i) {
    hex += DataRecord(static_cast<uint16_t>(0x2000 + 16 * i), Bytes(16, static_cast<uint8_t>(i * 16)));
  }
  hex += DataRecord(0x3000, {1}) + DataRecord(0x3002, {2}) + kEndOfFile;
  ASSERT_EQ(LoadFile(hex, 0), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
  const auto requests = Requests();
  // A gap is never bridged, however small.
  ASSERT_THAT(Addresses(requests), ElementsAre(0x2000u, 0x20F0u, 0x3000u, 0x3002u));
  EXPECT_EQ(requests[0].second, Bytes(240));
  EXPECT_EQ(requests[1].second.size(), 16u);
  // The full command layer also gets the final status byte call.
  const auto status = fake_.Calls("CmmProgStatusByte");
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0].args[0], 0u);
}

TEST_F(FlowTest, TheAddressMovesEveryPage) {
  Login();
  ASSERT_EQ(LoadFile(DataRecord(0x1234, {7, 8}) + kEndOfFile, 0), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0x10000, nullptr)), kOk);
  EXPECT_THAT(Addresses(Requests()), ElementsAre(0x11234u));
}

TEST_F(FlowTest, PagesAtOrAboveTheBoundaryGoInWholeBlocks) {
  Login();
  ASSERT_EQ(LoadFile(LinearRecord(0xC0) + DataRecord(0x0010, Bytes(16, 1)) + kEndOfFile, 0), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
  auto requests = Requests();
  ASSERT_THAT(Addresses(requests), ElementsAre(0xC00000u));
  std::vector<uint8_t> expected(128, 0x00);
  for (int i = 0; i < 16; ++i) expected[16 + i] = static_cast<uint8_t>(1 + i);
  EXPECT_EQ(requests[0].second, expected);

  fake_.reset();
  ASSERT_EQ(LoadFile(LinearRecord(0xC0) + DataRecord(0x007C, Bytes(8, 1)) + kEndOfFile, 0), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
  requests = Requests();
  ASSERT_THAT(Addresses(requests), ElementsAre(0xC00000u, 0xC00080u));
  EXPECT_EQ(std::vector<uint8_t>(requests[0].second.begin() + 124, requests[0].second.end()), Bytes(4, 1));
  EXPECT_EQ(requests[0].second[123], 0x00);
  EXPECT_EQ(std::vector<uint8_t>(requests[1].second.begin(), requests[1].second.begin() + 4), Bytes(4, 5));
  EXPECT_EQ(requests[1].second[4], 0x00);
}

TEST_F(FlowTest, MergingStopsAtTheBoundaryAndLaterPagesShareBlocks) {
  Login();
  ASSERT_EQ(LoadFile(LinearRecord(0xBF) + DataRecord(0xFFF0, Bytes(16)) + LinearRecord(0xC0) +
                         DataRecord(0x0000, Bytes(16, 16)) + DataRecord(0x0010, Bytes(16, 32)) +
                         DataRecord(0x0100, {9}) + kEndOfFile,
                     0),
            kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
  const auto requests = Requests();
  ASSERT_THAT(Addresses(requests), ElementsAre(0xBFFFF0u, 0xC00000u, 0xC00100u));
  EXPECT_EQ(requests[0].second.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(requests[1].second.begin(), requests[1].second.begin() + 32), Bytes(32, 16));
  EXPECT_EQ(requests[2].second[0], 9);
}

TEST_F(FlowTest, AFailedRequestEndsProgramming) {
  Login();
  ASSERT_EQ(LoadFile(Binary(1000), kLoadBinary), kOk);
  fake_.Results("CmmProgFlash", {kOk, kProtectedByHardware});
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kProtectedByHardware);
  EXPECT_EQ(Requests().size(), 2u);
  EXPECT_EQ(DmGetProgress(), 24u);
}

TEST_F(FlowTest, NothingToProgramGives224) {
  Login();
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kFileNotFound);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(FlowTest, FlatChunksAreCheckedAgainstProtectedAreas) {
  Module(kAreaZeroTo1FFF);
  Login();
  ASSERT_EQ(LoadFile(Binary(600), kLoadBinary), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0x1E10, nullptr)), kProtectedBySoftware);  // the first chunk lies in the area
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(Finish(DmProgFlash(0x2000, nullptr)), kOk);
  EXPECT_EQ(Requests().size(), 3u);
  // Pages are checked as well, all of them before the first is sent;
  // switching protection off lets them through.
  ASSERT_EQ(LoadFile(DataRecord(0x3000, {2}) + DataRecord(0x0100, {1}) + kEndOfFile, 0), kOk);
  const std::size_t sent = Requests().size();
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kProtectedBySoftware);
  EXPECT_EQ(Requests().size(), sent);
  ASSERT_EQ(DmEnableProtectedAreas(1), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
}

TEST_F(FlowTest, ChunksBeforeAProtectedOneAreProgrammed) {
  Module(kAreaZeroTo1FFF + "[Protected Area 2]\r\nStartAddress=0x4100\r\nEndAddress=0x41FF\r\n");
  ASSERT_TRUE(ini::WriteString(modulePath_, "General", "NumberOfProtectedAreas", "2"));
  Login();
  ASSERT_EQ(LoadFile(Binary(600), kLoadBinary), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0x4000, nullptr)), kProtectedBySoftware);
  ASSERT_EQ(Requests().size(), 1u);
  EXPECT_EQ(Requests()[0].first, 0x4000u);
}

TEST_F(FlowTest, EraseIsCheckedThenPassedOn) {
  Module(kAreaZeroTo1FFF);
  Login();
  SectorList list{};
  RangeRequest outside{0x2000, 0x3FFF, 0x2000};
  RangeRequest overlapping{0x1000, 0x2FFF, 0x2000};
  EXPECT_EQ(DmEraseSectors(&outside, &list, nullptr), kOk);
  EXPECT_EQ(DmFreeMemory(list.entries), kOk);
  EXPECT_EQ(DmEraseSectors(&overlapping, &list, nullptr), kProtectedBySoftware);
  EXPECT_EQ(DmEraseBlocks(&overlapping, &list, nullptr), kProtectedBySoftware);
  ASSERT_EQ(DmEnableProtectedAreas(1), kOk);
  EXPECT_EQ(DmEraseBlocks(&overlapping, &list, nullptr), kOk);
  EXPECT_EQ(DmFreeMemory(list.entries), kOk);
  const auto calls = fake_.Calls("CmmEraseSectors");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].args[0], 0x1000u);
  EXPECT_EQ(calls[1].args[1], 0x2FFFu);
  EXPECT_TRUE(fake_.Calls("CmmEraseBlocks").empty());
  // The erase runs on the command layer's worker.
  fake_.setProgress(13);
  EXPECT_EQ(DmGetProgress(), 13u);
}

TEST_F(FlowTest, RelativeAreasWithoutALayoutRefuseEverything) {
  Module("[General]\r\nNumberOfProtectedAreas=1\r\n[Protected Area 1]\r\nStartAddress=-0\r\nEndAddress=-FF\r\n");
  Login();
  SectorList list{};
  RangeRequest range{0x0, 0xFF, 0x100};
  EXPECT_EQ(DmEraseSectors(&range, &list, nullptr), kProtectedBySoftware);
  SelectFlash("[Block 1]\r\nOffset=0\r\nSectorSize=100\r\nNumberOfSectors=16\r\n", 1);
  SectorInfos infos{};
  ASSERT_EQ(DmGetSectorInfos(nullptr, &infos), kOk);
  EXPECT_EQ(DmEraseSectors(&range, &list, nullptr), kOk);
  EXPECT_EQ(DmFreeMemory(list.entries), kOk);
  RangeRequest last{0xF00, 0xFFF, 0x100};
  EXPECT_EQ(DmEraseSectors(&last, &list, nullptr), kProtectedBySoftware);
}

TEST_F(FlowTest, ReadingNeedsAnAcceptedPasswordAndDiscardsTheImage) {
  Module(kAreaZeroTo1FFF);
  Login();
  ASSERT_EQ(LoadFile(Binary(64), kLoadBinary), kOk);
  ReadRequest request{0x1F00, 0x100};
  EXPECT_EQ(DmReadFlash(&request, nullptr), kNoAccess);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kFileNotFound);  // the image is gone
  PasswordBlock password{0, nullptr};
  ASSERT_EQ(DmSendPassword(&password), kOk);
  EXPECT_EQ(DmReadFlash(&request, nullptr), kProtectedBySoftware);

  ReadRequest beside{0x2000, 0x100};
  const uint8_t pattern[] = {0x11, 0x22, 0x33};
  fake_.setReadPattern(pattern, 3);
  fake_.setProgress(55);
  ASSERT_EQ(DmReadFlash(&beside, nullptr), kOk);
  EXPECT_EQ(DmGetProgress(), 55u);
  const auto calls = fake_.Calls("CmmReadFlash");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], 0x2000u);
  EXPECT_EQ(calls[0].args[1], 0x100u);
  const FlatImage& flat = State().image.Flat();
  EXPECT_TRUE(flat.present);
  EXPECT_EQ(flat.base, 0x2000u);
  EXPECT_EQ(flat.buffer[1], 0x22);
  EXPECT_EQ(flat.buffer[0xFF], 0x11);
}

TEST_F(FlowTest, AReadBesideAProtectedAreaIsAllowed) {
  Module("[General]\r\nNumberOfProtectedAreas=1\r\n[Protected Area 1]\r\nStartAddress=0x2000\r\nEndAddress=0x2FFF\r\n");
  Login();
  PasswordBlock password{0, nullptr};
  ASSERT_EQ(DmSendPassword(&password), kOk);
  ReadRequest request{0x1F00, 0x100};
  EXPECT_EQ(DmReadFlash(&request, nullptr), kOk);
  ReadRequest touching{0x1F00, 0x101};
  EXPECT_EQ(DmReadFlash(&touching, nullptr), kProtectedBySoftware);
  EXPECT_FALSE(State().image.HasFlat());
}

TEST_F(FlowTest, AFailedReadLeavesNoImage) {
  Login();
  PasswordBlock password{0, nullptr};
  ASSERT_EQ(DmSendPassword(&password), kOk);
  fake_.setResult("CmmReadFlash", kReceiveTimeout);
  ReadRequest request{0, 0x100};
  EXPECT_EQ(DmReadFlash(&request, nullptr), kReceiveTimeout);
  EXPECT_TRUE(State().image.Empty());
}

TEST_F(LikeRealCommandLayer, WithoutTheStatusByteFunctionTheStepIsSkipped) {
  Login();
  ASSERT_EQ(LoadFile(DataRecord(0x100, {1, 2}) + kEndOfFile, 0), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_EQ(DmCheckOldZelkor(), kOk);  // still bound
}

}  // namespace
}  // namespace zk::dm::test
