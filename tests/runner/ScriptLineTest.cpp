#include "client/ImageType.h"
#include "client/Numbers.h"
#include "runner/CommandLine.h"
#include "runner/ScriptLine.h"
#include "runner/ScriptReader.h"
#include "runner/ScriptRunner.h"
#include "tests/runner/RunnerFixture.h"

#include <gtest/gtest.h>

namespace zk::runner {
namespace {

std::vector<std::string> Upper(const SplitLine& line) {
  std::vector<std::string> words;
  for (const ScriptWord& w : line.words) words.push_back(w.upper);
  return words;
}

using Words = std::vector<std::string>;

TEST(SplitWords, WordsAreUpperCasedAndKeepTheirSpelling) {
  const SplitLine line = SplitWords("connect externamd c:\\modules\\m1");
  EXPECT_EQ(line.error, SplitError::kNone);
  EXPECT_EQ(Upper(line), (Words{"CONNECT", "EXTERNAMD", "C:\\MODULES\\M1"}));
  EXPECT_EQ(line.words[2].spelling, "c:\\modules\\m1");
}

TEST(SplitWords, AQuotedWordKeepsItsBlanks) {
  EXPECT_EQ(Upper(SplitWords("MESSAGE \"flash done\"")), (Words{"MESSAGE", "FLASH DONE"}));
  // Runs of quotes around a word are skipped; text glued to the closing
  // quote is the next word.
  EXPECT_EQ(Upper(SplitWords("MESSAGE \"\"a b\"\"c")), (Words{"MESSAGE", "A B", "C"}));
  EXPECT_EQ(Upper(SplitWords("MESSAGE \"open to the end")), (Words{"MESSAGE", "OPEN TO THE END"}));
  EXPECT_EQ(Upper(SplitWords("MESSAGE \"\"")), (Words{"MESSAGE", ""}));
}

TEST(SplitWords, ACommentEndsTheLine) {
  EXPECT_EQ(Upper(SplitWords("ERASESECTOR 3 5 ; the parameter sectors")), (Words{"ERASESECTOR", "3", "5"}));
  EXPECT_TRUE(SplitWords("; a comment line").words.empty());
  EXPECT_TRUE(SplitWords(";").words.empty());
  // A ';' inside a word is no comment.
  EXPECT_EQ(Upper(SplitWords("LOADHEX a;b")), (Words{"LOADHEX", "A;B"}));
}

TEST(SplitWords, BlanksSeparateAndWhiteSpaceIsSkipped) {
  // A leading blank gives an empty command word.
  EXPECT_EQ(Upper(SplitWords("  DOWNLOAD")), (Words{"", "DOWNLOAD"}));
  EXPECT_EQ(Upper(SplitWords("ERASESECTOR  \t 3   5  ")), (Words{"ERASESECTOR", "3", "5"}));
  // Only blanks separate: a tab is part of a word.
  EXPECT_EQ(Upper(SplitWords("ERASESECTOR\t3")), (Words{"ERASESECTOR\t3"}));
}

TEST(SplitWords, LimitsOfWordsAndTheirLength) {
  EXPECT_EQ(SplitWords("MESSAGE a b c").error, SplitError::kNone);
  EXPECT_EQ(SplitWords("MESSAGE a b c d").error, SplitError::kTooManyWords);
  // A comment after four words is fine.
  EXPECT_EQ(SplitWords("MESSAGE a b c ; d").error, SplitError::kNone);
  EXPECT_EQ(SplitWords("MESSAGE " + std::string(127, 'x')).error, SplitError::kNone);
  EXPECT_EQ(SplitWords("MESSAGE " + std::string(128, 'x')).error, SplitError::kWordTooLong);
  EXPECT_EQ(SplitWords("MESSAGE \"" + std::string(128, ' ') + "\"").error, SplitError::kWordTooLong);
}

TEST(ScriptReader, LinesEndingsAndTheLengthLimit) {
  test::TempDir dir;
  const std::string path = dir.Path() + "/s.qrs";
  test::WriteFile(path, "A\r\n\nB\r\r\n" + std::string(254, 'x') + "\r\n" + std::string(255, 'y') + "\nC" +
                            std::string(300, 'z') + "\nlast");
  ScriptReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::string line;
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kLine);
  EXPECT_EQ(line, "A");
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kLine);
  EXPECT_EQ(line, "");
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kLine);
  EXPECT_EQ(line, "B\r") << "one carriage return is removed";
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kLine);
  EXPECT_EQ(line.size(), 254u);
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kTooLong);
  EXPECT_EQ(reader.LineNumber(), 5);
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kTooLong);
  EXPECT_EQ(reader.LineNumber(), 6) << "a long line counts once";
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kLine);
  EXPECT_EQ(line, "last");
  EXPECT_EQ(reader.Read(&line), ScriptReader::Next::kEnd);
}

TEST(ScriptReader, RefusesWhatCannotBeRead) {
  test::TempDir dir;
  ScriptReader reader;
  EXPECT_FALSE(reader.Open(dir.Path() + "/missing.qrs"));
  EXPECT_FALSE(reader.Open(dir.Path())) << "a directory";
}

// One number rule for zelkor and Quillrun.
TEST(NumberRule, DecimalHexAndSizesUpTo32Bits) {
  using client::BareDigits;
  using client::ParseNumber;
  const std::pair<const char*, uint32_t> good[] = {{"0", 0},         {"4096", 4096},       {"4294967295", 0xFFFFFFFF},
                                                   {"0x10", 16},     {"64K", 0x10000},     {"0x10K", 0x4000},
                                                   {"1M", 0x100000}, {"4095M", 0xFFF00000}};
  for (const auto& [text, value] : good) EXPECT_EQ(ParseNumber(text), value) << text;
  for (const char* bad : {"", "-1", "+1", "12a", "4294967296", " 1", "4096M", "0x", "K", "0x1G"}) {
    EXPECT_FALSE(ParseNumber(bad)) << bad;
  }
  EXPECT_EQ(ParseNumber("1F000", BareDigits::kHex), 0x1F000u);
  EXPECT_EQ(ParseNumber("0x1F000", BareDigits::kHex), 0x1F000u);
  EXPECT_FALSE(ParseNumber("1F000"));
}

// One rule for every program: HEX and H86 in any case (saving: lower case
// only), the extension of the file name only.
TEST(ImageTypeRule, TheExtensionOfTheFileNameDecides) {
  using client::ExtensionCase;
  using client::ImageType;
  using client::ImageTypeOfPath;
  for (const char* name : {"IMAGE.HEX", "x.h86", "/d/a.Hex", "C:\\m\\b.H86"}) {
    EXPECT_EQ(ImageTypeOfPath(name), ImageType::kHex) << name;
  }
  for (const char* name : {"image.bin", "hex", "image", "/d.hex/image", "d.hex\\image", "a.hex.bak", "a.hx"}) {
    EXPECT_EQ(ImageTypeOfPath(name), ImageType::kBinary) << name;
  }
  EXPECT_EQ(ImageTypeOfPath("/t/data.h86", ExtensionCase::kLower), ImageType::kHex);
  EXPECT_EQ(ImageTypeOfPath("/t/data.HEX", ExtensionCase::kLower), ImageType::kBinary);
}

TEST(RunnerCommandLine, OptionsAndTheScript) {
  const char* argv[] = {"Quillrun", "--console", "a.qrs", "b.qrs"};
  const CommandLine line = ParseCommandLine(4, argv);
  EXPECT_EQ(line.face, Face::kConsole);
  EXPECT_EQ(line.script, "a.qrs");
  EXPECT_FALSE(line.error);

  const char* other[] = {"Quillrun", "--gui", "--frobnicate", "--", "-odd.qrs"};
  const CommandLine second = ParseCommandLine(5, other);
  EXPECT_EQ(second.face, Face::kGui);
  EXPECT_EQ(second.error, "--frobnicate");
  EXPECT_EQ(second.script, "-odd.qrs");
}

}  // namespace
}  // namespace zk::runner
