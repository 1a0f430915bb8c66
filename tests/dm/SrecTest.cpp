// The S-record reader on the records that matter and the malformed lines it
// must refuse with their line; the writer read back.
#include "dm/SrecReader.h"
#include "dm/SrecWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace zk::dm {
namespace {

// One record with a correct checksum (or the checksum plus skew); count
// plus countSkew stated.
std::string Record(char type, uint32_t address, int addressBytes, const std::vector<uint8_t>& data, int skew = 0,
                   int countSkew = 0) {
  std::vector<uint8_t> bytes;
  for (int i = addressBytes - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  const auto count = static_cast<unsigned>(bytes.size() + 1);
  unsigned sum = count;
  char part[8];
  std::snprintf(part, sizeof part, "S%c%02X", type, (count + countSkew) & 0xFF);
  std::string text = part;
  for (const uint8_t b : bytes) {
    std::snprintf(part, sizeof part, "%02X", b);
    text += part;
    sum += b;
  }
  std::snprintf(part, sizeof part, "%02X\n", (~sum + skew) & 0xFF);
  return text + part;
}

const std::string kHeader = "S00600004844521B\n";
const std::string kEnd = Record('9', 0, 2, {});

HexReadResult Read(const std::string& text) {
  MemorySource source(text);
  return ReadSrec(source, {});
}

std::map<uint32_t, uint8_t> Bytes(const PageImage& image) {
  std::map<uint32_t, uint8_t> bytes;
  for (const Page& page : image.Pages()) {
    for (uint8_t i = 0; i < page.length; ++i) bytes[page.address + i] = page.data[i];
  }
  return bytes;
}

TEST(SrecReader, DataRecordsOfEachWidthBecomePagesAndTheCountIsChecked) {
  const std::string text = kHeader + Record('1', 0x1234, 2, {1, 2}) + "\r\n  \n" + Record('2', 0x123456, 3, {3}) +
                           Record('3', 0xFFFFFFF0, 4, {4}) + Record('5', 3, 2, {}) + Record('7', 0, 4, {}) +
                           "anything after the end\n";
  const HexReadResult read = Read(text);
  ASSERT_EQ(read.outcome, HexLoad::Complete);
  EXPECT_EQ(Bytes(read.pages), (std::map<uint32_t, uint8_t>{{0x1234, 1}, {0x1235, 2}, {0x123456, 3}, {0xFFFFFFF0, 4}}));
  EXPECT_EQ(read.pages.PageCount(), 3u);
  EXPECT_EQ(read.droppedLine, 9u);
  // Lower-case digits and CR LF line ends read alike.
  std::string lower = Record('1', 0xABCD, 2, {0xEF}) + kEnd;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  lower[0] = 'S';
  lower[lower.find('\n') + 1] = 'S';
  EXPECT_EQ(Bytes(Read(lower).pages), (std::map<uint32_t, uint8_t>{{0xABCD, 0xEF}}));
}

TEST(SrecReader, BadRecordsAreRefusedWithTheirLine) {
  struct Case {
    std::string text;
    HexLoad outcome;
    uint64_t line;
  };
  const std::string good = kHeader + Record('1', 0x100, 2, {1});  // lines 1 and 2
  const Case cases[] = {
      {good + Record('1', 0x110, 2, {1, 2}, 1) + kEnd, HexLoad::ChecksumError, 3},
      {good + Record('4', 0, 2, {}) + kEnd, HexLoad::UnknownType, 3},
      {good + Record('1', 0x110, 2, {1, 2}, 0, 1) + kEnd, HexLoad::FormatError, 3},   // count states more
      {good + Record('1', 0x110, 2, {1, 2}, 0, -1) + kEnd, HexLoad::FormatError, 3},  // count states less
      {good + "S30300FC\n" + kEnd, HexLoad::FormatError, 3},  // too short for its 32-bit address
      {good + "S1\n" + kEnd, HexLoad::FormatError, 3},
      {good + "S107000001G2FF\n" + kEnd, HexLoad::FormatError, 3},
      {good + "; a comment\n" + kEnd, HexLoad::FormatError, 3},
      {good + " " + kEnd, HexLoad::FormatError, 3},
      {good + Record('5', 2, 2, {}) + kEnd, HexLoad::FormatError, 3},  // one data record, not two
      {good + Record('1', 0x100, 2, {2}) + Record('5', 2, 2, {}) + kEnd, HexLoad::Overlap, 3},
      {good + Record('9', 0, 2, {7}), HexLoad::FormatError, 3},  // a start record with data
      {good + std::string(2000, ' ') + "\n" + kEnd, HexLoad::FormatError, 3},
      {good, HexLoad::FormatError, 3},  // no start record
      {"", HexLoad::FormatError, 1},
  };
  for (const Case& c : cases) {
    const HexReadResult read = Read(c.text);
    EXPECT_EQ(read.outcome, c.outcome) << c.text;
    EXPECT_EQ(read.line, c.line) << c.text;
    EXPECT_TRUE(read.pages.Empty());
  }
}

std::string Written(const std::vector<uint8_t>& data, uint32_t base) {
  MemorySink sink;
  EXPECT_EQ(WriteSrec(data.data(), static_cast<uint32_t>(data.size()), base, sink, {}), HexSave::Done);
  return sink.bytes;
}

TEST(SrecWriter, TheNarrowestAddressTheImageNeedsAndItReadsBack) {
  std::vector<uint8_t> data(40);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(Written({1, 2}, 0xFFFE), "S0030000FC\r\nS105FFFE0102FA\r\nS5030001FB\r\nS9030000FC\r\n");
  // The record types of 40 bytes at base, one character each.
  const auto types = [](uint32_t base) {
    std::string kinds;
    const std::string text = Written(std::vector<uint8_t>(40, 0x5A), base);
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) kinds += text[at + 1];
    return kinds;
  };
  EXPECT_EQ(types(0xFFD8), "011159");  // the last byte at 0xFFFF
  EXPECT_EQ(types(0xFFE0), "022258");
  EXPECT_EQ(types(0xFFFFE0), "033357");
  for (const uint32_t base : {0x0u, 0xFFE0u, 0x12345678u}) {
    const HexReadResult read = Read(Written(data, base));
    ASSERT_EQ(read.outcome, HexLoad::Complete);
    std::map<uint32_t, uint8_t> expected;
    for (std::size_t i = 0; i < data.size(); ++i) expected[base + static_cast<uint32_t>(i)] = data[i];
    EXPECT_EQ(Bytes(read.pages), expected);
  }
}

}  // namespace
}  // namespace zk::dm
