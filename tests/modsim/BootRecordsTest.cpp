#include "modsim/BootRecords.h"
#include "modsim/DemoFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST(BootRecords, MemoryRecordsCarryA24BitAddressAndSkipEverythingElse) {
  // A comment record, a memory record at 0x12ABCD with two data bytes, the end.
  const Bytes file = {
      0x88, 0x02, 0x00, 'h',  'i',  0xB9, 0x07, 0x00, 0x12, 0xCD, 0xAB, 0x00, 0x41, 0x42,
      0x99, 0x8A, 0x01, 0x00, 0x00, 0xE9, 0x06, 0x00, 0,    0,    0,    0,    1,    0};  // after the end: ignored
  std::string error;
  const auto parsed = ParseRecordFile(file, &error);
  ASSERT_TRUE(parsed) << error;
  ASSERT_EQ(parsed->records.size(), 1u);
  EXPECT_EQ(parsed->records[0].address, 0x12ABCDu);
  EXPECT_THAT(parsed->records[0].data, ElementsAre(0x41, 0x42));
}

TEST(BootRecords, RefusesCutFilesAndMissingEnds) {
  std::string error;
  EXPECT_FALSE(ParseRecordFile(Bytes{0xB9, 0x09, 0x00, 0x00}, &error));
  EXPECT_NE(error.find("past the end"), std::string::npos);
  EXPECT_FALSE(ParseRecordFile(Bytes{0xB9, 0x04, 0x00, 0, 0, 0, 0}, &error));
  EXPECT_FALSE(ParseRecordFile(Bytes{0x80, 0x01, 0x00, 0x7F}, &error));
  EXPECT_NE(error.find("end record"), std::string::npos);
}

TEST(BootRecords, EncodedFilesParseBackToTheSameRecords) {
  const RecordFile flash = DemoFlashFile();
  const auto parsed = ParseRecordFile(EncodeRecordFile(flash, "ZKFLASH"), nullptr);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->records.size(), flash.records.size());
  for (std::size_t i = 0; i < flash.records.size(); ++i) {
    EXPECT_EQ(parsed->records[i].address, flash.records[i].address);
    EXPECT_EQ(parsed->records[i].data, flash.records[i].data);
    EXPECT_EQ(parsed->records[i].type, flash.records[i].type);
  }
}

TEST(DemoFiles, FlashFileStartsOddRunsAcrossARecordBoundaryAndHasAGap) {
  const RecordFile flash = DemoFlashFile();
  ASSERT_EQ(flash.records.size(), 3u);
  EXPECT_EQ(flash.records[0].address % 2, 1u);
  EXPECT_EQ(flash.records[0].address + flash.records[0].data.size(), flash.records[1].address);
  EXPECT_GT(flash.records[2].address, flash.records[1].address + flash.records[1].data.size());
  const Bytes boot = DemoBootFile().Concatenated();
  EXPECT_EQ(boot.size(), 512u);
  EXPECT_THAT(Bytes(boot.begin() + 16, boot.begin() + 19), ElementsAre(0x30, 0x00, 0x10));
}

}  // namespace
}  // namespace zk::modsim
