#include "runner/ScriptLine.h"

namespace zk::runner {
namespace {

constexpr char kBlank = ' ';
constexpr char kQuote = '"';
constexpr char kComment = ';';

// Blanks, tabs and the other white space characters of the C locale.
bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void SkipLeading(std::string_view& text, char c) {
  while (!text.empty() && text.front() == c) text.remove_prefix(1);
}

void SkipWhiteSpace(std::string_view& text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
}

// Takes the next word off text.
std::string_view TakeWord(std::string_view& text) {
  if (!text.empty() && text.front() == kQuote) {
    SkipLeading(text, kQuote);
    const std::size_t end = text.find(kQuote);
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(word.size());
    SkipLeading(text, kQuote);
    return word;
  }
  const std::string_view word = text.substr(0, text.find(kBlank));
  text.remove_prefix(word.size());
  return word;
}

}  // namespace

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

SplitLine SplitWords(std::string_view line) {
  SplitLine result;
  while (!line.empty()) {
    const std::string_view word = TakeWord(line);
    SkipWhiteSpace(line);
    if (!word.empty() && word.front() == kComment) break;
    if (word.size() > kMaxWordLength) {
      result.error = SplitError::kWordTooLong;
      break;
    }
    if (result.words.size() == kMaxWords) {
      result.error = SplitError::kTooManyWords;
      break;
    }
    result.words.push_back({ToUpperAscii(word), std::string(word)});
  }
  return result;
}

}  // namespace zk::runner
