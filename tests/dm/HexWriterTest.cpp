#include "dm/HexReader.h"
#include "dm/HexWriter.h"
#include "tests/dm/HexTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace zk::dm {
namespace {

using test::Bytes;

std::string Written(const std::vector<uint8_t>& data, uint32_t base) {
  MemorySink sink;
  EXPECT_EQ(WriteHex(data.data(), static_cast<uint32_t>(data.size()), base, sink, {}), HexSave::Done);
  return sink.bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The bytes at each address after reading text back.
std::map<uint32_t, uint8_t> ReadBack(const std::string& text) {
  MemorySource source(text);
  const HexReadResult read = ReadHex(source, {});
  EXPECT_EQ(read.outcome, HexLoad::Complete);
  std::map<uint32_t, uint8_t> bytes;
  for (const Page& page : read.pages.Pages()) {
    for (uint32_t i = 0; i < page.length; ++i) bytes[page.address + i] = page.data[i];
  }
  return bytes;
}

TEST(HexWriter, ImageBelowSixtyFourKilobytesIsWrittenPlain) {
  const std::string text = Written(Bytes(20, 0xF0), 0x2000);
  EXPECT_EQ(text,
            ":10200000F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF58\r\n"
            ":0420100000010203C6\r\n"
            ":00000001FF\n");
}

TEST(HexWriter, HigherAddressesGetAnExtendedLinearAddressFirst) {
  const std::vector<std::string> lines = Lines(Written(Bytes(48), 0x12340));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], ":020000040001F9");
  EXPECT_EQ(lines[1].substr(0, 9), ":10234000");
  EXPECT_EQ(lines[2].substr(0, 9), ":10235000");
  EXPECT_EQ(lines[3].substr(0, 9), ":10236000");
  EXPECT_EQ(lines[4], ":00000001FF");
}

TEST(HexWriter, NoRecordCrossesASixtyFourKilobyteBoundary) {
  const std::vector<uint8_t> data = Bytes(40, 1);
  const std::string text = Written(data, 0x1FFF8);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], ":020000040001F9");
  EXPECT_EQ(lines[1].substr(0, 9), ":08FFF800");
  EXPECT_EQ(lines[2], ":020000040002F8");
  EXPECT_EQ(lines[3].substr(0, 9), ":10000000");
  EXPECT_EQ(lines[4].substr(0, 9), ":10001000");
  const std::map<uint32_t, uint8_t> back = ReadBack(text);
  ASSERT_EQ(back.size(), data.size());
  for (uint32_t i = 0; i < data.size(); ++i) EXPECT_EQ(back.at(0x1FFF8 + i), data[i]);
}

TEST(HexWriter, LargeImagesReadBackIdentically) {
  std::vector<uint8_t> data(300000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  const uint32_t base = 0x00FE0003;
  const std::map<uint32_t, uint8_t> back = ReadBack(Written(data, base));
  ASSERT_EQ(back.size(), data.size());
  uint32_t address = base;
  for (const auto& [at, byte] : back) {
    ASSERT_EQ(at, address);
    ASSERT_EQ(byte, data[at - base]);
    ++address;
  }
}

TEST(HexWriter, StopLeavesTheRecordsWrittenSoFar) {
  const std::vector<uint8_t> data = Bytes(3 * kHexSaveStopInterval);
  int asked = 0;
  MemorySink sink;
  EXPECT_EQ(WriteHex(data.data(), static_cast<uint32_t>(data.size()), 0, sink, [&] { return ++asked == 2; }),
            HexSave::Stopped);
  const std::vector<std::string> lines = Lines(sink.bytes);
  // The first interval: 64 KB in 16-byte records, nothing more.
  EXPECT_EQ(lines.size(), kHexSaveStopInterval / 16);
  EXPECT_EQ(lines.back().substr(0, 9), ":10FFF000");
}

TEST(HexWriter, AFailingSinkIsReported) {
  struct Failing : ByteSink {
    bool Write(const uint8_t*, std::size_t) override { return false; }
  } sink;
  const std::vector<uint8_t> data = Bytes(64);
  EXPECT_EQ(WriteHex(data.data(), 64, 0, sink, {}), HexSave::WriteError);
}

}  // namespace
}  // namespace zk::dm
