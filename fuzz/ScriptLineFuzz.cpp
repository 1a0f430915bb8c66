// The script reader and the word splitter on arbitrary script text: lines
// never longer than the limit nor holding a line feed, at most four words of
// at most 127 characters, each taken from the line and upper-cased.
#include "fuzz/FuzzInput.h"
#include "fuzz/ScratchFile.h"
#include "runner/ScriptLine.h"
#include "runner/ScriptReader.h"

#include <string>

namespace {

using namespace zk::runner;

void CheckSplit(std::string_view line) {
  const SplitLine split = SplitWords(line);
  ZK_FUZZ_CHECK(split.words.size() <= kMaxWords);
  for (const ScriptWord& word : split.words) {
    ZK_FUZZ_CHECK(word.spelling.size() <= kMaxWordLength);
    ZK_FUZZ_CHECK(word.upper == ToUpperAscii(word.spelling));
    ZK_FUZZ_CHECK(line.find(word.spelling) != std::string_view::npos);
    ZK_FUZZ_CHECK(word.spelling.empty() || word.spelling.front() != ';');
  }
}

void ReadAllLines(std::string_view text) {
  static const zk::fuzz::ScratchFile script("script", ".qrs");
  script.Write(text);
  ScriptReader reader;
  ZK_FUZZ_CHECK(reader.Open(script.Path()));
  std::string line;
  int lines = 0;
  for (;;) {
    const ScriptReader::Next next = reader.Read(&line);
    if (next == ScriptReader::Next::kEnd) break;
    ZK_FUZZ_CHECK(next != ScriptReader::Next::kReadError);
    ZK_FUZZ_CHECK(reader.LineNumber() == ++lines);
    ZK_FUZZ_CHECK(line.size() <= kMaxLineLength);
    ZK_FUZZ_CHECK(line.find('\n') == std::string::npos);
    if (next == ScriptReader::Next::kTooLong) {
      ZK_FUZZ_CHECK(line.empty());
      continue;
    }
    CheckSplit(line);
  }
  // Every line feed ends a line; text after the last one is a line too.
  std::size_t feeds = 0;
  for (char c : text) feeds += c == '\n';
  const bool tail = !text.empty() && text.back() != '\n';
  ZK_FUZZ_CHECK(static_cast<std::size_t>(lines) == feeds + (tail ? 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = zk::fuzz::FuzzInput::Text({data, size});
  CheckSplit(text);
  ReadAllLines(text);
  return 0;
}
