#include "dm/ElfReader.h"
#include "tests/support/ElfImage.h"

#include <gtest/gtest.h>

#include <map>

namespace zk::dm {
namespace {

using test::ElfImage;
using test::ElfLayout;
using test::ElfSegment;

ElfReadResult Read(const std::string& file) {
  return ReadElf({reinterpret_cast<const uint8_t*>(file.data()), file.size()});
}

// The image as address -> byte.
std::map<uint32_t, char> Bytes(const PageImage& image) {
  std::map<uint32_t, char> bytes;
  for (const Page& page : image.Pages()) {
    for (uint8_t i = 0; i < page.length; ++i) bytes[page.address + i] = static_cast<char>(page.data[i]);
  }
  return bytes;
}

std::map<uint32_t, char> At(uint32_t address, const std::string& text) {
  std::map<uint32_t, char> bytes;
  for (std::size_t i = 0; i < text.size(); ++i) bytes[address + static_cast<uint32_t>(i)] = text[i];
  return bytes;
}

const std::string kLong(600, 'x');  // more than two pages

// A flash copy at 0x8000 of code that runs at 0x20000000, a segment without
// file bytes, and one that is not loadable.
std::vector<ElfSegment> Segments() {
  return {{0x8000, 0x20000000, kLong},
          {0x30000, 0x30000, "", 0x100},
          {0x40000, 0x40000, "note", 0, 4},
          {0x1000, 0x1000, "abc", 0x2000}};
}

TEST(ElfReader, LoadableSegmentsLieAtTheirPhysicalAddressInEveryClassAndOrder) {
  std::map<uint32_t, char> expected = At(0x8000, kLong);
  expected.merge(At(0x1000, "abc"));
  for (const ElfLayout layout :
       {ElfLayout{false, false}, ElfLayout{false, true}, ElfLayout{true, false}, ElfLayout{true, true}}) {
    const ElfReadResult read = Read(ElfImage::Build(Segments(), layout));
    ASSERT_EQ(read.outcome, ElfLoad::Complete) << layout.wide << layout.bigEndian;
    EXPECT_EQ(Bytes(read.pages), expected) << layout.wide << layout.bigEndian;
    EXPECT_EQ(read.pages.ByteCount(), kLong.size() + 3);
    for (const Page& page : read.pages.Pages()) EXPECT_LE(page.length, kRunPageBytes);
  }
}

TEST(ElfReader, EveryTruncationIsRefused) {
  for (const bool wide : {false, true}) {
    const std::string file = ElfImage::Build(Segments(), {wide, false});
    for (std::size_t size = 0; size < file.size(); ++size) {
      EXPECT_NE(Read(file.substr(0, size)).outcome, ElfLoad::Complete) << wide << " " << size;
    }
  }
}

// file with the value of size bytes at offset.
std::string Spoilt(std::string file, std::size_t offset, uint64_t value, std::size_t size, ElfLayout layout = {}) {
  ElfImage::Put(file, offset, value, size, layout);
  return file;
}

TEST(ElfReader, InconsistentHeadersAreRefused) {
  const ElfLayout wide{true, false};
  const std::string narrowFile = ElfImage::Build(Segments());
  const std::string wideFile = ElfImage::Build(Segments(), wide);
  EXPECT_EQ(Read("\x7F"
                 "ELG" +
                 narrowFile.substr(4))
                .outcome,
            ElfLoad::NotElf);
  EXPECT_EQ(Read(Spoilt(narrowFile, 4, 3, 1)).outcome, ElfLoad::Unsupported);        // class
  EXPECT_EQ(Read(Spoilt(narrowFile, 5, 0, 1)).outcome, ElfLoad::Unsupported);        // byte order
  EXPECT_EQ(Read(Spoilt(narrowFile, 16, 1, 2)).outcome, ElfLoad::Unsupported);       // relocatable
  EXPECT_EQ(Read(Spoilt(narrowFile, 44, 0xFFFF, 2)).outcome, ElfLoad::Unsupported);  // count in section 0
  EXPECT_EQ(Read(Spoilt(narrowFile, ElfImage::kEhsize32, 64, 2)).outcome, ElfLoad::BadHeader);
  EXPECT_EQ(Read(Spoilt(narrowFile, ElfImage::kPhentsize32, 56, 2)).outcome, ElfLoad::BadProgramHeaders);
  EXPECT_EQ(Read(Spoilt(narrowFile, ElfImage::kPhoff32, narrowFile.size() - 40, 4)).outcome,
            ElfLoad::BadProgramHeaders);
  // An offset near 2^64 must not wrap around into the file.
  EXPECT_EQ(Read(Spoilt(wideFile, ElfImage::kPhoff64, ~uint64_t{0} - 8, 8, wide)).outcome, ElfLoad::BadProgramHeaders);
}

TEST(ElfReader, SegmentsThatDoNotFitAreRefused) {
  const ElfLayout wide{true, false};
  const std::string narrowFile = ElfImage::Build(Segments());
  const std::string wideFile = ElfImage::Build(Segments(), wide);
  const std::size_t offset32 = ElfImage::ProgramField({}, 0, 4);
  const std::size_t offset64 = ElfImage::ProgramField(wide, 0, 8);
  EXPECT_EQ(Read(Spoilt(narrowFile, offset32, narrowFile.size() - 10, 4)).outcome, ElfLoad::SegmentOutsideFile);
  EXPECT_EQ(Read(Spoilt(wideFile, offset64, ~uint64_t{0} - 100, 8, wide)).outcome, ElfLoad::SegmentOutsideFile);
  EXPECT_EQ(Read(Spoilt(narrowFile, ElfImage::ProgramField({}, 0, 20), 10, 4)).outcome, ElfLoad::BadSegment);
  // Past 4 GB: a 32-bit address whose bytes end above it, and a 64-bit one.
  EXPECT_EQ(Read(Spoilt(narrowFile, ElfImage::ProgramField({}, 0, 12), 0xFFFFFF00, 4)).outcome,
            ElfLoad::PastAddressSpace);
  EXPECT_EQ(Read(Spoilt(wideFile, ElfImage::ProgramField(wide, 0, 24), uint64_t{1} << 32, 8, wide)).outcome,
            ElfLoad::PastAddressSpace);
  EXPECT_EQ(Read(ElfImage::Build({{0x1000, 0, "abcd"}, {0x1003, 0, "e"}})).outcome, ElfLoad::Overlapping);
  // Many segments on the same file bytes would make pages of many times the file.
  const std::string shared = ElfImage::Build({{0x1000, 0, "abcd"}, {0x2000, 0, "e"}});
  EXPECT_EQ(Read(Spoilt(shared, ElfImage::ProgramField({}, 1, 4), 52 + 2 * 32, 4)).outcome, ElfLoad::Overlapping);
  EXPECT_EQ(Read(ElfImage::Build({{0x1000, 0, "", 16}})).outcome, ElfLoad::NothingToLoad);
  EXPECT_EQ(Read(ElfImage::Build({})).outcome, ElfLoad::NothingToLoad);
  // Two segments that end and begin at one address are fine.
  EXPECT_EQ(Read(ElfImage::Build({{0x1000, 0, "abcd"}, {0x1004, 0, "e"}})).outcome, ElfLoad::Complete);
}

}  // namespace
}  // namespace zk::dm
