#include "common/ImageFormat.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(ImageFormatRule, TheFirstBytesDecide) {
  const std::pair<std::string, ImageFormat> cases[] = {
      {":020000040000FA\n", ImageFormat::kHex},
      {"; built 2024-05-01\r\n\r\n:10000000", ImageFormat::kHex},  // text lines before the first record
      {"S00600004844521B\n", ImageFormat::kSrec},
      {"\r\n\nS113000000", ImageFormat::kSrec},
      {std::string("\x7F"
                   "ELF\x01\x01\x01",
                   7),
       ImageFormat::kElf},
      {":0A", ImageFormat::kBinary},  // too little to tell
      {":zz000000\n", ImageFormat::kBinary},
      {"text\nS1130000\n", ImageFormat::kBinary},                      // an S-record file starts with its records
      {std::string("\x01\x02\n:10000000", 12), ImageFormat::kBinary},  // bytes, not text, before
      {"SX0000", ImageFormat::kBinary},
      {"", ImageFormat::kBinary},
  };
  for (const auto& [head, format] : cases) EXPECT_EQ(FormatOfContent(head), format) << head;
}

TEST(ImageFormatRule, TheExtensionIsAHintForWhatTheContentDoesNotShow) {
  EXPECT_EQ(FormatOfPath("a/b.S19"), ImageFormat::kSrec);
  EXPECT_EQ(FormatOfPath("b.S19", ExtensionCase::kLower), std::nullopt);
  EXPECT_EQ(FormatOfPath("x.axf"), ImageFormat::kElf);
  EXPECT_EQ(FormatOfPath("x.ihx"), ImageFormat::kHex);
  EXPECT_EQ(FormatOfPath("dir.hex\\image"), std::nullopt);
  EXPECT_EQ(FormatByContent("S00600004844521B\n", "image.hex"), ImageFormat::kSrec);
  EXPECT_EQ(FormatByContent("; no record yet", "image.hex"), ImageFormat::kHex);
  EXPECT_EQ(FormatByContent(":10000000", "image.bin"), ImageFormat::kHex);
  EXPECT_EQ(FormatByContent("\x01\x02", "image.bin"), ImageFormat::kBinary);
}

}  // namespace
}  // namespace zk
