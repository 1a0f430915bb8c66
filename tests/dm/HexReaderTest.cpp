#include "dm/HexReader.h"
#include "tests/dm/HexTestSupport.h"

#include <gtest/gtest.h>

namespace zk::dm {
namespace {

using test::Bytes;
using test::DataRecord;
using test::HexRecord;
using test::kEndOfFile;
using test::LinearRecord;
using test::SegmentRecord;

HexReadResult Read(const std::string& text, HexReadHooks hooks = {}) {
  MemorySource source(text);
  return ReadHex(source, hooks);
}

std::vector<uint32_t> Addresses(const PageImage& image) {
  std::vector<uint32_t> addresses;
  for (const Page& page : image.Pages()) addresses.push_back(page.address);
  return addresses;
}

TEST(HexReader, DataRecordsBecomePagesWithTheirBytes) {
  const HexReadResult read = Read(DataRecord(0x2010, {1, 2, 3}) + DataRecord(0x2000, Bytes(16)) + kEndOfFile);
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  ASSERT_EQ(read.pages.PageCount(), 2u);
  EXPECT_EQ(Addresses(read.pages), (std::vector<uint32_t>{0x2000, 0x2010}));
  EXPECT_EQ(read.pages.ByteCount(), 19u);
  const Page& second = read.pages.Pages()[1];
  EXPECT_EQ(std::vector<uint8_t>(second.data, second.data + second.length), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(HexReader, TextBeforeTheFirstRecordLineAndBetweenRecordsIsPassedOver) {
  const std::string text = "header: not a record\n  :also not\n" + DataRecord(0x0100, {0xAA}) + "  trailing blanks\n" +
                           HexRecord(0, 0x0200, {0xBB}, 0, "\n") + "\r\n\r\n" + kEndOfFile;
  const HexReadResult read = Read(text);
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  EXPECT_EQ(Addresses(read.pages), (std::vector<uint32_t>{0x100, 0x200}));
}

TEST(HexReader, ExtendedAddressesPlaceTheFollowingRecords) {
  const std::string text = LinearRecord(1) + DataRecord(0x1234, {1}) + SegmentRecord(0x2000) + DataRecord(0x0010, {2}) +
                           SegmentRecord(0x1234) + DataRecord(0x0005, {3}) + LinearRecord(0xFFFF) +
                           DataRecord(0xFFF0, {4}) + kEndOfFile;
  const HexReadResult read = Read(text);
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  // Segment 0x1234 places at 0x12340 + offset, its low 12 bits included.
  EXPECT_EQ(Addresses(read.pages), (std::vector<uint32_t>{0x11234, 0x12345, 0x20010, 0xFFFFFFF0}));
}

TEST(HexReader, StartAddressRecordsAreIgnoredAndEmptyRecordsArePages) {
  const std::string text = HexRecord(0x03, 0, {0x12, 0x34, 0x56, 0x78}) + HexRecord(0x05, 0, {0, 0, 0x10, 0}) +
                           DataRecord(0x0040, {}) + DataRecord(0x0040, {9}) + kEndOfFile;
  const HexReadResult read = Read(text);
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  ASSERT_EQ(read.pages.PageCount(), 2u);
  EXPECT_EQ(read.pages.ByteCount(), 1u);
}

TEST(HexReader, EverythingAfterTheEndRecordIsIgnoredAndItsLineTold) {
  const HexReadResult read = Read(DataRecord(0, {1}) + kEndOfFile + "\n:zz garbage" + DataRecord(0x10, {2}));
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  EXPECT_EQ(read.pages.PageCount(), 1u);
  EXPECT_EQ(read.droppedLine, 4u);
  EXPECT_EQ(Read(DataRecord(0, {1}) + kEndOfFile + "\n").droppedLine, 0u);
}

TEST(HexReader, RecordsGivingAnAddressOtherDataAreRefusedWithTheAddressAndBothLines) {
  std::vector<uint8_t> other = Bytes(16, 0x40);
  other[0] = 8;  // 0x108 agrees with the first record; 0x109 does not
  const std::string duplicate = DataRecord(0x200, {1, 2});
  const HexReadResult read =
      Read(DataRecord(0x100, Bytes(16)) + duplicate + DataRecord(0x108, other) + duplicate + kEndOfFile);
  ASSERT_EQ(read.outcome, HexLoad::Overlap);
  ASSERT_TRUE(read.conflict.has_value());
  EXPECT_EQ(read.conflict->address, 0x109u);
  EXPECT_EQ(read.conflict->firstLine, 1u);
  EXPECT_EQ(read.conflict->secondLine, 3u);
  EXPECT_TRUE(read.pages.Empty());
  // Records that repeat the same bytes agree.
  EXPECT_EQ(Read(duplicate + DataRecord(0x201, {2}) + duplicate + kEndOfFile).outcome, HexLoad::Complete);
}

TEST(HexReader, WrongChecksumsAreReported) {
  EXPECT_EQ(Read(HexRecord(0, 0x10, {1, 2}, 1) + kEndOfFile).outcome, HexLoad::ChecksumError);
  EXPECT_EQ(Read(HexRecord(0x04, 0, {0, 1}, 0xFF) + kEndOfFile).outcome, HexLoad::ChecksumError);
  EXPECT_EQ(Read(DataRecord(0, {1}) + ":00000001FE\r\n").outcome, HexLoad::ChecksumError);
}

TEST(HexReader, UnknownRecordTypesAreReported) {
  EXPECT_EQ(Read(DataRecord(0, {1}) + HexRecord(0x06, 0, {}) + kEndOfFile).outcome, HexLoad::UnknownType);
}

TEST(HexReader, MalformedFilesFailWithoutHanging) {
  // Lower-case digits, other characters, a file cut short, no record at all.
  EXPECT_EQ(Read(":0100000001fe\r\n" + kEndOfFile).outcome, HexLoad::FormatError);
  EXPECT_EQ(Read(":01000000G1FE\r\n" + kEndOfFile).outcome, HexLoad::FormatError);
  EXPECT_EQ(Read(":10000000" + std::string(10, '0')).outcome, HexLoad::FormatError);
  EXPECT_EQ(Read(DataRecord(0, {1})).outcome, HexLoad::FormatError);
  EXPECT_EQ(Read(":0").outcome, HexLoad::FormatError);
  EXPECT_EQ(Read("no records here: at all\n").outcome, HexLoad::FormatError);
  EXPECT_EQ(Read("").outcome, HexLoad::FormatError);
  // A record mark inside a record's hex field.
  EXPECT_EQ(Read(":02000000:0000000001FF\r\n").outcome, HexLoad::FormatError);
}

TEST(HexReader, RecordsAcrossReadPiecesAreReadWhole) {
  // More than one read piece of text, with records of every length.
  std::string text;
  uint32_t address = 0;
  uint64_t bytes = 0;
  for (int i = 0; i < 12000; ++i) {
    const auto length = static_cast<std::size_t>(i % 256);
    text += DataRecord(static_cast<uint16_t>(address), Bytes(length, static_cast<uint8_t>(i)));
    address += 0x100;
    bytes += length;
    if ((address & 0xFFFF) == 0) text += LinearRecord(static_cast<uint16_t>(address >> 16));
  }
  text += kEndOfFile;
  ASSERT_GT(text.size(), std::size_t{2} << 20);
  uint64_t lastProgress = 0;
  HexReadHooks hooks;
  hooks.progress = [&](uint64_t consumed) { lastProgress = consumed; };
  const HexReadResult read = Read(text, hooks);
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  ASSERT_EQ(read.pages.PageCount(), 12000u);
  EXPECT_EQ(read.pages.ByteCount(), bytes);
  EXPECT_GT(lastProgress, std::size_t{1} << 20);
  EXPECT_LE(lastProgress, text.size());
  for (std::size_t i = 0; i < 12000; ++i) {
    const Page& page = read.pages.Pages()[i];
    ASSERT_EQ(page.address, i * 0x100);
    ASSERT_EQ(page.length, i % 256);
    if (page.length > 0) {
      ASSERT_EQ(page.data[page.length - 1], static_cast<uint8_t>(i + page.length - 1));
    }
  }
}

TEST(HexReader, StopCheckEndsTheLoad) {
  std::string text;
  for (uint32_t i = 0; i < 3 * kHexStopInterval; ++i) text += DataRecord(static_cast<uint16_t>(i * 4), {1, 2, 3, 4});
  text += kEndOfFile;
  int asked = 0;
  HexReadHooks hooks;
  hooks.stopRequested = [&] { return ++asked == 2; };
  EXPECT_EQ(Read(text, hooks).outcome, HexLoad::Stopped);
  EXPECT_EQ(asked, 2);

  asked = 0;
  hooks.stopRequested = [&] { return ++asked > 100; };
  EXPECT_EQ(Read(text, hooks).outcome, HexLoad::Complete);
  EXPECT_EQ(asked, 4);  // before the first record and every interval, the end record included
}

}  // namespace
}  // namespace zk::dm
