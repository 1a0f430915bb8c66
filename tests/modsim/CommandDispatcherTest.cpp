#include "FlashFixture.h"
#include "modsim/Bytes.h"
#include "modsim/CommandDispatcher.h"
#include "modsim/FaultInjector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

Bytes Le32(uint32_t v) {
  Bytes b;
  AppendLe32(b, v);
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Range(uint8_t code, uint32_t a, uint32_t b, uint32_t c) { return Cat({{code}, Le32(a), Le32(b), Le32(c)}); }

FirmwareParams Params() {
  FirmwareParams p;
  p.password = "zelkor";
  p.silentExitModes = 1u << 3;
  p.eraseTimePerSector = Milliseconds(10);
  return p;
}

class FirmwareTest : public ::testing::Test {
 protected:
  explicit FirmwareTest(std::vector<FlashBank> banks = test::SmallBanks())
      : flash_(std::move(banks)), firmware_(Params(), flash_, &faults_, nullptr) {}

  Bytes Ask(const Bytes& request) { return firmware_.Handle(request, TimePoint{}).bytes; }
  void Unlock() {
    ASSERT_THAT(Ask(Cat({{0x0B}, Le32(6), {'z', 'e', 'l', 'k', 'o', 'r'}})), ElementsAre(0x0B, 0x00));
    ASSERT_THAT(Ask({0x04, 0x01, 0x00, 0x01, 0x00, 0x00}), ElementsAre(0x04, 0x00));
  }

  FaultInjector faults_{1, {}};
  FlashModel flash_;
  CommandDispatcher firmware_;
};

TEST_F(FirmwareTest, RequestsWhoseLengthDisagreesWithTheirFieldsGetA0AndChangeNothing) {
  // The password length lost its 0x00 byte: the XOR check cannot see that.
  EXPECT_THAT(Ask({0x0B, 0x06, 0x00, 0x00, 'z', 'e', 'l', 'k', 'o', 'r'}), ElementsAre(0x0B, 0xA0));
  EXPECT_FALSE(firmware_.PasswordAccepted());
  Unlock();
  // A write of four bytes that lost one on the way.
  EXPECT_THAT(Ask({0x05, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x11, 0x22, 0x33}), ElementsAre(0x05, 0xA0));
  Bytes content(4);
  flash_.Read(0, content);
  EXPECT_THAT(content, ElementsAre(0xFF, 0xFF, 0xFF, 0xFF));
  EXPECT_THAT(Ask({0x01, 0x00}), ElementsAre(0x01, 0xA0));
  EXPECT_THAT(Ask({0x08, 0x00, 0x00, 0x00, 0x00}), ElementsAre(0x08, 0xA0));
  EXPECT_FALSE(firmware_.Handle(Bytes{0x08, 0x00, 0x00, 0x00, 0x00}, TimePoint{}).exitAfter);
  EXPECT_THAT(Ask({0xF7, 0, 0}), ElementsAre(0xF7, 0xA0));
  EXPECT_THAT(Ask({0x0C, 0x00, 0x10, 0x00, 0x00, 0x01}), ElementsAre(0x0C, 0xA0));
  EXPECT_EQ(firmware_.CurrentBank(), 0u);
}

TEST_F(FirmwareTest, LoginPasswordGenerationAndUnknownCommands) {
  EXPECT_THAT(Ask({0x01}), ElementsAre(0x01, 0x01, 0x03, 3, 1, 7));
  EXPECT_THAT(Ask(Cat({{0x0B}, Le32(3), {'a', 'b', 'c'}})), ElementsAre(0x0B, 0x90));
  EXPECT_FALSE(firmware_.PasswordAccepted());
  EXPECT_THAT(Ask({0x0F}), ElementsAre(0xEE, 0x00));
  EXPECT_THAT(Ask({0x42, 0x01}), ElementsAre(0x42, 0xB3));
}

TEST(Firmware, AnOldFirmwareDoesNotKnowTheGenerationQuery) {
  FlashModel flash(test::SmallBanks());
  FirmwareParams params = Params();
  params.oldFirmware = true;
  CommandDispatcher firmware(params, flash, nullptr, nullptr);
  EXPECT_THAT(firmware.Handle(Bytes{0x0F}, TimePoint{}).bytes, ElementsAre(0x0F, 0xB3));
}

TEST_F(FirmwareTest, ExitAnswersUnlessItsModeIsSilentAndAlwaysEndsTheSession) {
  Reply plain = firmware_.Handle(Bytes{0x08, 0x00, 0x00, 0x00, 0x00, 0x00}, TimePoint{});
  EXPECT_THAT(plain.bytes, ElementsAre(0x08, 0x00));
  EXPECT_TRUE(plain.exitAfter);
  Reply hardware = firmware_.Handle(Bytes{0x08, 0x03, 0x00, 0x00, 0x00, 0x00}, TimePoint{});
  EXPECT_TRUE(hardware.bytes.empty());
  EXPECT_TRUE(hardware.exitAfter);
}

TEST_F(FirmwareTest, FindEnumeratesTheBanksLibrariesAndSelectTakesW0AndW3) {
  EXPECT_THAT(Ask({0x02, 0, 0, 0, 0, 0, 1}), ElementsAre(0x02, 0x01, 0x00, 0x01, 0x21, 0xA7, 0x00, 0x01, 0x00));
  EXPECT_THAT(Ask({0x02, 1, 0, 0, 0, 0, 1}), ElementsAre(0x02, 0x03, 0x00, 0x01, 0x21, 0xA7, 0x00, 0x02, 0x01));
  EXPECT_THAT(Ask({0x02, 1, 0, 0, 0, 0, 1}), ElementsAre(0x02, 0, 0, 0, 0, 0, 0, 0, 0));
  // Bank 1 has one library of its own.
  EXPECT_EQ(Ask({0x02, 0, 0x00, 0x10, 0, 0, 1})[1], 0x02);
  EXPECT_THAT(Ask({0x02, 1, 0x00, 0x10, 0, 0, 1}), ElementsAre(0x02, 0, 0, 0, 0, 0, 0, 0, 0));

  EXPECT_THAT(Ask({0x04, 0x03, 0x00, 0x02, 0x00, 0x00}), ElementsAre(0x04, 0x00));  // w3 0x0102: low byte
  EXPECT_TRUE(firmware_.LibrarySelected());
  EXPECT_THAT(Ask({0x04, 0x03, 0x00, 0x01, 0x00, 0x00}), ElementsAre(0x04, 0x80));
  EXPECT_FALSE(firmware_.LibrarySelected());
}

TEST_F(FirmwareTest, FlashCommandsNeedASelectedLibrary) {
  EXPECT_THAT(Ask({0x05, 0, 0, 0, 0, 1, 0, 0x00}), ElementsAre(0x05, 0x81));
  EXPECT_THAT(Ask(Range(0x07, 0, 0xFF, 0)), ElementsAre(0x07, 0x81, 0, 0));
  EXPECT_THAT(Ask(Range(0x09, 0, 0xFF, 0)), ElementsAre(0x09, 0x81, 0, 0));
  EXPECT_THAT(Ask({0x0A}), ElementsAre(0x0A, 0x81, 0, 0));
  EXPECT_THAT(Ask(Range(0x03, 0, 0xFF, 0x100)), ElementsAre(0x03, 0x81, 0, 0));
}

TEST_F(FirmwareTest, ReadingNeedsThePasswordAndComesIn250BytePieces) {
  ASSERT_THAT(Ask({0x04, 0x01, 0x00, 0x01, 0x00, 0x00}), ElementsAre(0x04, 0x00));
  const Bytes read = Cat({{0x06}, Le32(0x400), Le32(600)});
  EXPECT_THAT(Ask(read), ElementsAre(0x06, 0x45, 0, 0, 0, 0));
  Unlock();
  Bytes pattern(600);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(flash_.Program(0x400, pattern), 0);

  Bytes got;
  Bytes answer = Ask(read);
  for (uint16_t expected : {250, 250, 100}) {
    ASSERT_GE(answer.size(), 6u);
    EXPECT_EQ(answer[1], 0x00);
    EXPECT_EQ(ReadLe16(&answer[2]), expected);
    EXPECT_EQ(answer.size(), 6u + expected);
    got.insert(got.end(), answer.begin() + 6, answer.end());
    answer[0] = 0xF6;  // the continuation is written over the previous answer
    answer = Ask(Bytes(answer.begin(), answer.begin() + 9));
  }
  EXPECT_EQ(got, pattern);
  EXPECT_EQ(answer[1], 0x30);  // nothing left to read
}

TEST_F(FirmwareTest, ProgramEraseAndStatusThroughTheCommands) {
  Unlock();
  EXPECT_THAT(Ask({0x05, 0x00, 0x01, 0, 0, 2, 0, 0x12, 0x34}), ElementsAre(0x05, 0x00));
  EXPECT_THAT(Ask({0x05, 0x00, 0x01, 0, 0, 1, 0, 0xFF}), ElementsAre(0x05, 0x21));
  EXPECT_THAT(Ask({0x05, 0x00, 0x03, 0, 0, 1, 0, 0x00}), ElementsAre(0x05, 0x41));
  EXPECT_THAT(Ask(Range(0x03, 0x000, 0x1FF, 0x100)),
              ElementsAre(0x03, 0x00, 2, 0, 0x00, 0x00, 0, 0, 34, 0x00, 0x01, 0, 0, 33));
  const Reply erase = firmware_.Handle(Range(0x07, 0x100, 0x1FF, 0), TimePoint{});
  EXPECT_THAT(erase.bytes, ElementsAre(0x07, 0x00, 0, 0));
  EXPECT_EQ(erase.busy, Milliseconds(10));
  EXPECT_EQ(Ask(Range(0x03, 0x100, 0x1FF, 0x100))[8], 34);
}

TEST_F(FirmwareTest, BaseAddressPicksTheBankOfTheChipErase) {
  Unlock();
  ASSERT_EQ(flash_.Program(0x1000, Bytes{0}), 0);
  EXPECT_THAT(Ask({0x0C, 0x00, 0x20, 0x00, 0x00, 0x01, 0x00}), ElementsAre(0x0C, 0x30));
  EXPECT_THAT(Ask({0x0C, 0x00, 0x10, 0x00, 0x00, 0x01, 0x00}), ElementsAre(0x0C, 0x00));
  EXPECT_EQ(firmware_.CurrentBank(), 1u);
  // Bank 1's last sector is the firmware's: listed with 0x43, the rest erased.
  EXPECT_THAT(Ask({0x0A}), ElementsAre(0x0A, 0x43, 1, 0, 0x00, 0x16, 0, 0, 0x43));
  Bytes first(1);
  flash_.Read(0x1000, first);
  EXPECT_EQ(first[0], 0xFF);
}

TEST_F(FirmwareTest, AnswerFaultsChangeOnlyTheAnswer) {
  faults_.AddRule({FaultKind::kWrongEcho, 1, 0x55});
  faults_.AddRule({FaultKind::kHostileLength, 2, std::nullopt});
  faults_.AddRule({FaultKind::kIgnoreCommand, 4, std::nullopt});
  faults_.AddRule({FaultKind::kDelayAnswer, 4, 1500});
  EXPECT_THAT(Ask({0x0F}), ElementsAre(0x55, 0x00));
  EXPECT_EQ(Ask({0x01}).size(), 5000u);  // no count field: stretched
  ASSERT_THAT(Ask({0x04, 0x01, 0x00, 0x01, 0x00, 0x00}), ElementsAre(0x04, 0x00));
  EXPECT_TRUE(Ask(Cat({{0x0B}, Le32(6), {'z', 'e', 'l', 'k', 'o', 'r'}})).empty());  // the 4th command
  EXPECT_FALSE(firmware_.PasswordAccepted());
  const Reply late = firmware_.Handle(Range(0x03, 0, 0xFF, 0x100), TimePoint{});
  EXPECT_EQ(late.busy, Milliseconds(1500));
}

TEST(FirmwareHostileLength, ListAnswersClaimTheLargestCount) {
  FlashModel flash(test::SmallBanks());
  FaultInjector faults(1, {});
  CommandDispatcher firmware(Params(), flash, &faults, nullptr);
  firmware.Handle(Bytes{0x04, 0x01, 0x00, 0x01, 0x00, 0x00}, TimePoint{});
  faults.AddRule({FaultKind::kHostileLength, 0, std::nullopt});
  const Bytes answer = firmware.Handle(Range(0x03, 0, 0xFF, 0x100), TimePoint{}).bytes;
  ASSERT_EQ(answer.size(), 9u);
  EXPECT_EQ(ReadLe16(&answer[2]), 0xFFFF);
}

TEST_F(FirmwareTest, HostileCountsClaimMoreThanTheRequestOrTheAnswerHolds) {
  Unlock();
  faults_.AddRule({FaultKind::kCountOverrun, 0, 3});
  // Two steps asked for; the answer carries two entries and claims five.
  const Bytes status = Ask(Range(0x03, 0x000, 0x1FF, 0x100));
  EXPECT_EQ(ReadLe16(&status[2]), 5u);
  EXPECT_EQ(status.size(), 4u + 2 * 5);
  const Bytes read = Ask(Cat({{0x06}, Le32(0x400), Le32(20)}));
  EXPECT_EQ(ReadLe16(&read[2]), 23u);
  EXPECT_EQ(read.size(), 6u + 20);
  // A chip erase list claims more entries than one answer can hold.
  const Bytes chip = Ask({0x0A});
  EXPECT_EQ(ReadLe16(&chip[2]), (4096u - 4) / 5 + 3);
  EXPECT_THAT(Ask({0x0F}), ElementsAre(0xEE, 0x00)) << "answers without a count are left alone";
}

TEST_F(FirmwareTest, HostileListsRunPastTheirCountOrNeverEnd) {
  Unlock();
  // Erasing 0x300..0x3FF fails on the protected sector: one entry.
  faults_.AddRule({FaultKind::kLongList, 1, 2});
  const Bytes longer = Ask(Range(0x07, 0x300, 0x3FF, 0));
  ASSERT_GE(longer.size(), 4u);
  EXPECT_EQ(ReadLe16(&longer[2]), 1u);
  EXPECT_EQ(longer.size(), 4u + 3 * 5) << "one announced entry and two more";
  EXPECT_EQ(ReadLe32(&longer[4 + 5]), 0xFFFFFF00u);

  faults_.ArmNext(FaultKind::kEndlessList, std::nullopt);
  const Bytes first = Ask(Range(0x07, 0x300, 0x3FF, 0));
  EXPECT_EQ(ReadLe16(&first[2]), 1u);
  for (int i = 0; i < 5; ++i) {
    const Bytes more = Ask(Range(0xF7, 0, 0, 0));
    ASSERT_GE(more.size(), 2u + 5);
    EXPECT_EQ(more[0], 0xF7);
    EXPECT_EQ(more[1], 0x01) << "more follows, every time";
  }
  // A new list is an honest one again.
  Ask(Range(0x07, 0x300, 0x3FF, 0));
  EXPECT_THAT(Ask(Range(0xF7, 0, 0, 0)), ElementsAre(0xF7, 0x00));
}

TEST_F(FirmwareTest, AFloodOrGarbageOnTheLineIsMarkedOnTheReply) {
  faults_.AddRule({FaultKind::kStxFlood, 2, 300});
  faults_.AddRule({FaultKind::kGarbageAfterLogin, 1, 64});
  const Reply login = firmware_.Handle(Bytes{0x01}, TimePoint{});
  EXPECT_EQ(login.stxFlood, 0u);
  EXPECT_EQ(login.rawAfter.size(), 64u);
  EXPECT_FALSE(login.bytes.empty());
  const Reply flooded = firmware_.Handle(Bytes{0x0F}, TimePoint{});
  EXPECT_EQ(flooded.stxFlood, 300u);
  EXPECT_TRUE(flooded.rawAfter.empty()) << "garbage follows only the login";
  EXPECT_TRUE(firmware_.Handle(Bytes{0x01}, TimePoint{}).rawAfter.empty()) << "only the first login";
}

// A bank of 128 protected sectors: an erase lists all 128 of them.
std::vector<FlashBank> ProtectedBank() {
  FlashBank bank;
  bank.layout.blocks = {{0, 0x100, 128}};
  bank.libraries = {FlashLibrary{{1, 2, 3, 4}}};
  bank.hardwareProtected = {{0, 0x7FFF}};
  return {bank};
}

class LongListTest : public FirmwareTest {
 protected:
  LongListTest() : FirmwareTest(ProtectedBank()) {}
  // The first answer's entries from byte 4, each continuation's from byte 2.
  Bytes Collect(uint8_t command, uint8_t more, const Bytes& request, std::size_t firstLimit, std::size_t nextLimit,
                std::vector<std::size_t>& pieces) {
    Bytes answer = Ask(request);
    EXPECT_EQ(answer[0], command);
    Bytes entries(answer.begin() + 4, answer.end());
    pieces.push_back(entries.size());
    EXPECT_LE(entries.size(), firstLimit);
    const std::size_t wanted = 5u * ReadLe16(&answer[2]);
    while (entries.size() < wanted) {
      answer[0] = more;
      answer = Ask(Bytes(answer.begin(), answer.begin() + 13));
      EXPECT_EQ(answer[0], more);
      EXPECT_NE(answer[1], 0);
      EXPECT_LE(answer.size() - 2, nextLimit);
      pieces.push_back(answer.size() - 2);
      entries.insert(entries.end(), answer.begin() + 2, answer.end());
    }
    answer[0] = more;
    answer.resize(13, 0);
    EXPECT_THAT(Ask(answer), ElementsAre(more, 0x00));  // nothing more: the list has ended
    return entries;
  }
};

TEST_F(LongListTest, EraseListsGoOut252ThenUpTo254BytesAtATime) {
  ASSERT_THAT(Ask({0x04, 0x01, 0x00, 0x04, 0x00, 0x00}), ElementsAre(0x04, 0x00));
  std::vector<std::size_t> pieces;
  const Bytes entries = Collect(0x07, 0xF7, Range(0x07, 0, 0x7FFF, 0), 252, 254, pieces);
  EXPECT_THAT(pieces, ElementsAre(252, 254, 134));
  ASSERT_EQ(entries.size(), 640u);
  for (std::size_t i = 0; i < 128; ++i) {
    EXPECT_EQ(ReadLe32(&entries[5 * i]), 0x100u * i);
    EXPECT_EQ(entries[5 * i + 4], 0x41);
  }
  pieces.clear();
  EXPECT_EQ(Collect(0x09, 0xF9, Range(0x09, 0, 0x7FFF, 0), 252, 254, pieces).size(), 5u);
}

TEST_F(LongListTest, SectorStatusListsGoOut251ThenUpTo253BytesAtATime) {
  ASSERT_THAT(Ask({0x04, 0x01, 0x00, 0x04, 0x00, 0x00}), ElementsAre(0x04, 0x00));
  std::vector<std::size_t> pieces;
  const Bytes entries = Collect(0x03, 0xF3, Range(0x03, 0, 0x7FFF, 0x80), 251, 253, pieces);
  EXPECT_THAT(pieces, ElementsAre(251, 253, 253, 253, 253, 17));
  ASSERT_EQ(entries.size(), 5u * 256);
  EXPECT_EQ(ReadLe32(&entries[5 * 255]), 0x80u * 255);
  EXPECT_EQ(entries[5 * 255 + 4], 34);
}

TEST(RequestLength, FollowsTheFieldsOfEachCommand) {
  EXPECT_EQ(ExpectedRequestLength(Bytes{0x05, 0, 0, 0, 0, 0x10, 0x01}), 7u + 0x110);
  EXPECT_EQ(ExpectedRequestLength(Bytes{0x05, 0, 0}), 7u);
  EXPECT_EQ(ExpectedRequestLength(Bytes{0x0B, 0xFF, 0xFF, 0xFF, 0xFF}), 5u + 0xFFFFFFFFull);
  EXPECT_EQ(ExpectedRequestLength(Bytes{0xF6}), 9u);
  EXPECT_FALSE(ExpectedRequestLength(Bytes{0x0D}).has_value());
  EXPECT_FALSE(ExpectedRequestLength(Bytes{}).has_value());
}

}  // namespace
}  // namespace zk::modsim
