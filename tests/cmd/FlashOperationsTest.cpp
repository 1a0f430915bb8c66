#include "cmd/NonAccessAreas.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "platform/Messages.h"
#include "platform/Threads.h"
#include "tests/cmd/FakeNetFixture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zk::cmd::test {
namespace {

namespace fs = std::filesystem;

constexpr char kTwoBanks[] =
    "[FlashConfig]\nFlashBanks=2\nFlashStart=0x0\nFlashEnd=0xFFF\nFlashMode=1\n"
    "FlashStart1=0x1000\nFlashEnd1=0x1FFF\nFlashMode1=7\n";

std::vector<uint8_t> Entry(uint32_t address, uint8_t status) {
  return {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16),
          static_cast<uint8_t>(address >> 24), status};
}

// An answer: header bytes, then the entries' wire bytes.
std::vector<uint8_t> ListAnswer(std::vector<uint8_t> header, const std::vector<std::vector<uint8_t>>& entries,
                                std::size_t firstEntry, std::size_t lastEntry) {
  for (std::size_t i = firstEntry; i < lastEntry; ++i) {
    header.insert(header.end(), entries[i].begin(), entries[i].end());
  }
  return header;
}

class FlashOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentSession().pollPause = [] {};
    net_.Bind();
    net_.Answer({0x0C});
    Settings& s = CurrentSession().settings;
    s.readFailed = 0;
    s.passwordAccepted = 1;
    s.protectedAreasEnabled = 0;
    s.endOfFlash = kEndOfFlashNotSet;
    Msg msg;
    PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void TearDown() override {
    CurrentSession().pollPause = nullptr;
    CurrentSession().DropModulePath();
  }
  void Module(const std::string& text) {
    const fs::path path = dir_ / "modul.ini";
    std::ofstream(path) << text;
    CurrentSession().SetModulePath(path.string());
  }
  static ResultCode Wait() {
    uint32_t status;
    while ((status = CmmGetCurrentThreadStatus()) == kWorkerRunning) Sleep(1);
    return status;
  }
  static std::optional<uintptr_t> EndMessage() {
    Msg msg;
    if (!PeekMessage(&msg, nullptr, 34, 34, PM_REMOVE)) return std::nullopt;
    return msg.wParam;
  }

  zk::test::TempDir temp_{"zk-flash"};
  fs::path dir_ = temp_.path();
  FakeNet net_;
};

TEST_F(FlashOperationsTest, FindFlashLibSendsTheBankModeAndCopiesFourWords) {
  Module(kTwoBanks);
  net_.Answer({0x99, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00});
  FlashLibRequest request{1, 0x1000};
  FlashLibInfo info{};
  EXPECT_EQ(CmmFindFlashLib(&request, &info), 0u);
  EXPECT_EQ(net_.Request(), (std::vector<uint8_t>{0x02, 1, 0x00, 0x10, 0, 0, 7}));
  EXPECT_EQ(info.words[0], 1);
  EXPECT_EQ(info.words[3], 4);
  request.flashStart = 0x5000;  // no bank starts there
  CmmFindFlashLib(&request, &info);
  EXPECT_EQ(net_.Request().back(), 0xFF);
}

TEST_F(FlashOperationsTest, SelectFlashLibNeedsItsEcho) {
  Module(kTwoBanks);
  FlashLibSelection selection{{1, 2, 3}};
  net_.Answer({0x04});
  EXPECT_EQ(CmmSelectFlashLib(&selection), 0u);
  EXPECT_EQ(net_.Request(), (std::vector<uint8_t>{0x04, 1, 2, 3, 0, 0}));
  net_.Answer({0x81});
  EXPECT_EQ(CmmSelectFlashLib(&selection), kSendFailed);
}

TEST_F(FlashOperationsTest, AWriteEndingOneByteIntoTheNextBankIsCheckedWholeThenSent) {
  Module(kTwoBanks);
  std::vector<uint8_t> data(0x101, 0x55);
  net_.Answer({0x05, 0x00});
  ProgRequest request{0x0F00, 0x101, data.data()};
  EXPECT_EQ(CmmProgFlash(&request), 0u);
  EXPECT_EQ(net_.Codes(), (std::vector<uint8_t>{0x05, 0x0C, 0x05}));
  EXPECT_EQ(net_.RequestAt(2).size(), 7u + 1);  // the byte at the bank start
  EXPECT_EQ(request.address, 0x1001u);
  // A write that runs out of the flash sends nothing at all.
  request = {0x1F00, 0x101, data.data()};
  EXPECT_EQ(CmmProgFlash(&request), kInvalidSector);
  EXPECT_EQ(net_.Codes().size(), 3u);
}

TEST_F(FlashOperationsTest, AWriteAcrossABankEndGoesAsOnePiecePerBank) {
  Module(kTwoBanks);
  std::vector<uint8_t> data(0x300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  net_.Answer({0x05, 0x00});
  ProgRequest request{0x0F00, 0x300, data.data()};
  EXPECT_EQ(CmmProgFlash(&request), 0u);
  EXPECT_EQ(net_.Codes(), (std::vector<uint8_t>{0x05, 0x0C, 0x05}));
  const auto first = net_.RequestAt(0);
  EXPECT_EQ(first.size(), 7u + 0x100);
  EXPECT_EQ(first[5] | (first[6] << 8), 0x100);
  EXPECT_EQ(net_.RequestAt(1), (std::vector<uint8_t>{0x0C, 0x00, 0x10, 0, 0, 7, 0}));
  const auto second = net_.RequestAt(2);
  EXPECT_EQ(second[1] | (second[2] << 8), 0x1000);
  EXPECT_EQ(second[7], data[0x100]);
  EXPECT_EQ(request.address, 0x1200u);
}

TEST_F(FlashOperationsTest, ARefusedPieceIsNotHiddenByALaterOne) {
  Module(kTwoBanks);
  std::vector<uint8_t> data(0x20);
  net_.Queue({0x05, 0x41});
  net_.Answer({0x05, 0x00});
  ProgRequest request{0x0FF0, 0x20, data.data()};
  EXPECT_EQ(CmmProgFlash(&request), 0x41u);
  EXPECT_EQ(net_.Codes(), std::vector<uint8_t>{0x05});
}

TEST_F(FlashOperationsTest, WritingAddressZeroNeedsNoAreaWhenNoneIsDescribed) {
  Module(kTwoBanks);
  const uint8_t byte[2] = {1, 2};
  net_.Answer({0x05, 0x00});
  ProgRequest request{0, 2, byte};
  EXPECT_EQ(CmmProgFlash(&request), 0u);

  Module(std::string(kTwoBanks) + "[Non Access Area 1]\nStartAddress=0x0\nEndAddress=0x7\n");
  request.address = 6;
  EXPECT_EQ(CmmProgFlash(&request), kNotAccessible);
  request.address = 8;
  EXPECT_EQ(CmmProgFlash(&request), 0u);
}

TEST_F(FlashOperationsTest, RelativeAreasNeedTheEndOfFlash) {
  Module(std::string(kTwoBanks) + "[Non Access Area 1]\nStartAddress=-0x10\nEndAddress=-0x1\n");
  const uint8_t byte[2] = {1, 2};
  net_.Answer({0x05, 0x00});
  ProgRequest request{0x100, 2, byte};
  EXPECT_EQ(CmmProgFlash(&request), kNoModuleSelected);
  CmmSetEndOfFlash(0x1FFF);
  // The area is 0x1FFF - 0x10 - 1 .. 0x1FFF - 0x1 - 1.
  EXPECT_EQ(CmmProgFlash(&request), 0u);
  request.address = 0x1FEE;
  EXPECT_EQ(CmmProgFlash(&request), kNotAccessible);
  CmmSetEndOfFlash(kEndOfFlashNotSet);
}

TEST(AreaText, SignsAreRelativeOnlyWhenBothAgree) {
  auto area = ParseAreaText("  +100", "-200");
  ASSERT_TRUE(area);
  EXPECT_EQ(area->sign, AreaSign::None);
  EXPECT_EQ(area->start, 0xFFFFFFFFu);
  area = ParseAreaText("-100", "-0x20");
  ASSERT_TRUE(area);
  EXPECT_EQ(area->sign, AreaSign::Minus);
  EXPECT_EQ(area->start, 0x100u);
  EXPECT_EQ(area->end, 0x20u);
  EXPECT_EQ(AreaAddressValue("x10"), 0xFFFFFFFFu);
  EXPECT_EQ(AreaAddressValue("8000"), 0x8000u);
  EXPECT_FALSE(ParseAreaText("", "0x10"));
}

TEST_F(FlashOperationsTest, ReadingWithoutPasswordIsRefusedAndBlocksProgramming) {
  Module(kTwoBanks);
  CurrentSession().settings.passwordAccepted = 0;
  std::vector<uint8_t> out(16);
  ReadRequest request{0, 16};
  ReadResult result{0, out.data()};
  CmmReadFlash(&request, &result, nullptr);
  EXPECT_EQ(Wait(), kNoAccess);
  const uint8_t byte[2] = {1, 2};
  ProgRequest prog{0x10, 2, byte};
  EXPECT_EQ(CmmProgFlash(&prog), kFileNotFound);
  EXPECT_EQ(net_.Codes().size(), 0u);
}

TEST_F(FlashOperationsTest, SixHundredBytesAreReadTwiceCutIntoAnswersAtOtherPlaces) {
  Module(kTwoBanks);
  // The flash: 250 bytes 0xA1, 250 bytes 0xA2, then 0xA3.
  auto answer = [](uint8_t code, uint32_t from, uint16_t count) {
    std::vector<uint8_t> a{code, 0, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0, 0};
    for (uint32_t at = from; at < from + count; ++at) a.push_back(at < 250 ? 0xA1 : at < 500 ? 0xA2 : 0xA3);
    return a;
  };
  // The first read in answers of 250; the second one's begin half an
  // answer later, after four answers of one byte.
  net_.Queue(answer(0x06, 0, 250));
  net_.Queue(answer(0xF6, 250, 250));
  net_.Queue(answer(0xF6, 500, 100));
  for (uint32_t at = 0; at < 4; ++at) net_.Queue(answer(0x06, at, 1));
  net_.Queue(answer(0x06, 4, 121));
  net_.Queue(answer(0x06, 125, 250));
  net_.Queue(answer(0xF6, 375, 225));
  std::vector<uint8_t> out(600, 0);
  ReadRequest request{0x100, 600};
  ReadResult result{0, out.data()};
  CmmReadFlash(&request, &result, nullptr);
  ASSERT_EQ(Wait(), 0u);
  EXPECT_EQ(net_.Codes(), (std::vector<uint8_t>{0x06, 0xF6, 0xF6, 0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0xF6}));
  EXPECT_EQ(result.received, 600u);
  EXPECT_EQ(out[0], 0xA1);
  EXPECT_EQ(out[250], 0xA2);
  EXPECT_EQ(out[599], 0xA3);
  EXPECT_EQ(CmmGetProgress(), 100);
  EXPECT_FALSE(EndMessage());  // no message on success
}

TEST_F(FlashOperationsTest, AReadAnswerClaimingMoreThanAskedCopiesNoMore) {
  Module(kTwoBanks);
  std::vector<uint8_t> a{0x06, 0, 0xFF, 0xFF, 0, 0};
  a.insert(a.end(), 250, 0x5A);
  net_.Answer(a);
  std::vector<uint8_t> out(12, 0);
  ReadRequest request{0, 10};
  ReadResult result{0, out.data()};
  CmmReadFlash(&request, &result, nullptr);
  ASSERT_EQ(Wait(), 0u);
  EXPECT_EQ(result.received, 10u);
  EXPECT_EQ(out[9], 0x5A);
  EXPECT_EQ(out[10], 0);
}

TEST_F(FlashOperationsTest, AFailedReadPostsItsCodeAndBlocksProgramming) {
  Module(kTwoBanks);
  net_.Answer({0x06, 0x45});
  std::vector<uint8_t> out(4);
  ReadRequest request{0, 4};
  ReadResult result{0, out.data()};
  CmmReadFlash(&request, &result, nullptr);
  EXPECT_EQ(Wait(), 0x45u);
  EXPECT_EQ(EndMessage(), uintptr_t{0x45});
  EXPECT_EQ(CurrentSession().settings.readFailed, 1);
}

TEST_F(FlashOperationsTest, AModuleByteOf192NeverReadsAsAWorkerStillRunning) {
  // A status or a wrong echo byte of 0xC0 passed through unchanged would end
  // the worker with 192, which every poller takes for "still running".
  Module(kTwoBanks);
  std::vector<uint8_t> out(4);
  ReadRequest request{0, 4};
  ReadResult result{0, out.data()};
  for (const std::vector<uint8_t>& answer : {std::vector<uint8_t>{0x06, 0xC0}, std::vector<uint8_t>{0xC0, 0x00}}) {
    net_.Answer(answer);
    CmmReadFlash(&request, &result, nullptr);
    EXPECT_EQ(Wait(), kUnknownCode);
    EXPECT_EQ(EndMessage(), uintptr_t{kUnknownCode});
  }
  CurrentSession().settings.readFailed = 0;
  const uint8_t byte = 0x55;
  ProgRequest prog{0x10, 1, &byte};
  net_.Answer({0x05, 0xC0});
  EXPECT_EQ(CmmProgFlash(&prog), kUnknownCode);
  prog = ProgRequest{0x10, 1, &byte};
  net_.Answer({0xC0, 0x00});
  EXPECT_EQ(CmmProgFlash(&prog), kUnknownCode);
}

TEST_F(FlashOperationsTest, ChipEraseWithUnenabledProtectedAreasTalksToNobody) {
  Module(std::string(kTwoBanks) + "[General]\nNumberOfProtectedAreas=1\n");
  SectorList list{7, nullptr};
  EXPECT_EQ(CmmEraseChip(&list), kProtectedBySoftware);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(net_.Codes().size(), 0u);
  CmmEnableProtectedAreas(1);
  net_.Answer({0x0A, 0x00});
  EXPECT_EQ(CmmEraseChip(&list), 0u);
  CmmEnableProtectedAreas(0);
}

TEST_F(FlashOperationsTest, ChipEraseFailuresComeAsAList) {
  Module(kTwoBanks);
  std::vector<std::vector<uint8_t>> entries{Entry(0x100, 0x41), Entry(0x200, 0x43)};
  net_.Answer(ListAnswer({0x0A, 0x01, 2, 0}, entries, 0, 2));
  SectorList list{};
  EXPECT_EQ(CmmEraseChip(&list), kInvalidSector);
  ASSERT_EQ(list.count, 2);
  const auto* e = static_cast<const SectorEntry*>(list.entries);
  EXPECT_EQ(e[1].address, 0x200u);
  EXPECT_EQ(e[1].status, 0x43u);
  EXPECT_EQ(CmmFreeMemory(list.entries), 0u);
  net_.Answer({0x0A, 0x01, 0xFF, 0xFF});  // more than one answer can hold
  EXPECT_EQ(CmmEraseChip(&list), kReceiveTimeout);
  net_.Answer({0x0A, 0x81});
  EXPECT_EQ(CmmEraseChip(&list), kNoFlashLibrarySelected);
}

TEST_F(FlashOperationsTest, EraseListsAreGatheredOverContinuations) {
  Module(kTwoBanks);
  std::vector<std::vector<uint8_t>> entries;
  for (uint32_t i = 0; i < 60; ++i) entries.push_back(Entry(0x1000 + i * 0x10, 0x41));
  // 300 entry bytes: 252 from the first answer, 48 from a continuation.
  std::vector<uint8_t> wire;
  for (const auto& e : entries) wire.insert(wire.end(), e.begin(), e.end());
  std::vector<uint8_t> first{0x07, 0x41, 60, 0};
  first.insert(first.end(), wire.begin(), wire.begin() + 252);
  std::vector<uint8_t> next{0xF7, 0x01};
  next.insert(next.end(), wire.begin() + 252, wire.end());
  net_.Queue({0x0C});
  net_.Queue(first);
  net_.Queue(next);
  RangeRequest range{0x1000, 0x1FFF, 0};
  SectorList list{};
  CmmEraseSectors(&range, &list, nullptr);
  ASSERT_EQ(Wait(), kFailed);
  EXPECT_EQ(net_.Codes(), (std::vector<uint8_t>{0x0C, 0x07, 0xF7}));
  ASSERT_EQ(list.count, 60);
  const auto* e = static_cast<const SectorEntry*>(list.entries);
  EXPECT_EQ(e[59].address, 0x1000u + 59 * 0x10);
  EXPECT_EQ(CmmFreeMemory(list.entries), 0u);
}

TEST_F(FlashOperationsTest, EraseRangeIsClippedAtTheBankEnd) {
  Module(kTwoBanks);
  net_.Answer({0x07, 0x00});
  RangeRequest range{0x0800, 0x17FF, 0};
  SectorList list{};
  CmmEraseSectors(&range, &list, nullptr);
  EXPECT_EQ(Wait(), 0u);
  EXPECT_EQ(range.end, 0x0FFFu);
  EXPECT_EQ(net_.Codes(), std::vector<uint8_t>{0x07});
  range = {0x3000, 0x3FFF, 0};
  CmmEraseSectors(&range, &list, nullptr);
  EXPECT_EQ(Wait(), kInvalidSector);
}

TEST_F(FlashOperationsTest, StatusInsideANonAccessAreaNeedsNoCommand) {
  Module(std::string(kTwoBanks) +
         "[General]\nNumberOfNonAccessAreas=1\n[Non Access Area 1]\nStartAddress=0x0\nEndAddress=0x7FF\n");
  RangeRequest range{0x100, 0x4FF, 0x100};
  SectorList list{};
  CmmGetSectorStatus(&range, &list, nullptr);
  ASSERT_EQ(Wait(), 0u);
  ASSERT_EQ(list.count, 4);
  const auto* e = static_cast<const SectorStatusEntry*>(list.entries);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(e[i].status, 35);
  EXPECT_EQ(net_.Codes(), std::vector<uint8_t>{0x0C});  // the bank's base address only
  EXPECT_EQ(EndMessage(), uintptr_t{0});
  CmmFreeMemory(list.entries);
}

TEST_F(FlashOperationsTest, StatusListsStraddleContinuations) {
  Module(kTwoBanks);
  std::vector<std::vector<uint8_t>> entries;
  for (uint32_t i = 0; i < 64; ++i) entries.push_back(Entry(0x1000 + i * 0x40, i % 2 ? 33 : 34));
  std::vector<uint8_t> wire;
  for (const auto& e : entries) wire.insert(wire.end(), e.begin(), e.end());
  std::vector<uint8_t> first{0x03, 0x00, 64, 0};
  first.insert(first.end(), wire.begin(), wire.begin() + 251);
  std::vector<uint8_t> next{0xF3, 0x01};
  next.insert(next.end(), wire.begin() + 251, wire.end());
  net_.Queue({0x0C});
  net_.Queue(first);
  net_.Queue(next);
  RangeRequest range{0x1000, 0x1FFF, 0x40};
  SectorList list{};
  CmmGetSectorStatus(&range, &list, nullptr);
  ASSERT_EQ(Wait(), 0u);
  EXPECT_EQ(net_.Codes(), (std::vector<uint8_t>{0x0C, 0x03, 0xF3}));
  ASSERT_EQ(list.count, 64);
  const auto* e = static_cast<const SectorStatusEntry*>(list.entries);
  EXPECT_EQ(uint32_t{e[50].address}, 0x1000u + 50 * 0x40);  // straddled the two answers
  EXPECT_EQ(e[50].status, 34);
  EXPECT_EQ(e[63].status, 33);
  CmmFreeMemory(list.entries);
}

TEST_F(FlashOperationsTest, AStatusAnswerClaimingMoreEntriesThanStepsIsRefused) {
  Module(kTwoBanks);
  net_.Queue({0x0C});
  net_.Queue({0x03, 0x00, 0x00, 0x10});
  RangeRequest range{0x1000, 0x10FF, 0x80};
  SectorList list{};
  CmmGetSectorStatus(&range, &list, nullptr);
  EXPECT_EQ(Wait(), kReceiveTimeout);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(EndMessage(), uintptr_t{kReceiveTimeout});
}

TEST_F(FlashOperationsTest, ANonAccessAreaSplittingAStepYieldsOneEntry) {
  // Steps of 0x100 from 0x1000; the area 0x1180..0x11FF cuts the second step.
  Module(std::string(kTwoBanks) +
         "[General]\nNumberOfNonAccessAreas=1\n[Non Access Area 1]\nStartAddress=0x1180\nEndAddress=0x11FF\n");
  net_.Queue({0x0C});
  // [0x1000, 0x10FF]: the whole step before the area.
  net_.Queue(ListAnswer({0x03, 0x00, 1, 0}, {Entry(0x1000, 34)}, 0, 1));
  // [0x1100, 0x117F]: the piece of the cut step, queried with a step of 0x80.
  net_.Queue(ListAnswer({0x03, 0x00, 1, 0}, {Entry(0x1100, 33)}, 0, 1));
  // [0x1200, 0x13FF] after the area.
  net_.Queue(ListAnswer({0x03, 0x00, 2, 0}, {Entry(0x1200, 34), Entry(0x1300, 34)}, 0, 2));
  RangeRequest range{0x1000, 0x13FF, 0x100};
  SectorList list{};
  CmmGetSectorStatus(&range, &list, nullptr);
  ASSERT_EQ(Wait(), 0u);
  EXPECT_EQ(net_.Codes(), (std::vector<uint8_t>{0x0C, 0x03, 0x03, 0x03}));
  const auto third = net_.RequestAt(2);
  EXPECT_EQ(third[9], 0x80);  // the cut step is queried in its piece's length
  ASSERT_EQ(list.count, 4);   // one entry per step
  const auto* e = static_cast<const SectorStatusEntry*>(list.entries);
  int used = 0;
  for (int i = 0; i < list.count; ++i) used += e[i].status == 33;
  EXPECT_EQ(used, 1) << "the cut step keeps the used status of its piece";
  CmmFreeMemory(list.entries);
}

TEST(OpenPieces, AreTheGapsBetweenOverlappingAreas) {
  const std::vector<AddressArea> areas{{0x180, 0x1FF}, {0x100, 0x17F}, {0x280, 0x2FF}, {0x10, 0x8}};
  const std::vector<AddressArea> pieces = OpenPieces(areas, 0x0, 0x3FF);
  ASSERT_EQ(pieces.size(), 3u);  // the reversed area covers nothing
  EXPECT_EQ(pieces[0].end, 0xFFu);
  EXPECT_EQ(pieces[1].start, 0x200u);
  EXPECT_EQ(pieces[1].end, 0x27Fu);
  EXPECT_EQ(pieces[2].start, 0x300u);
  EXPECT_TRUE(OpenPieces(areas, 0x100, 0x1FF).empty());
  EXPECT_EQ(FirstAreaByte(areas, 0x120, 0x3FF), 0x120u);
  EXPECT_EQ(FirstAreaByte(areas, 0x300, 0x3FF), std::nullopt);
}

}  // namespace
}  // namespace zk::cmd::test
