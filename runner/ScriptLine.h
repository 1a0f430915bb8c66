#pragma once
// Splitting one script line into words: blank-separated, a word in double
// quotes may hold blanks, a word that begins with ';' starts a comment. Each
// word is kept upper-cased (commands, keywords and texts compare and show in
// upper case) and as the script spells it (paths).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zk::runner {

// The command and at most three arguments.
inline constexpr std::size_t kMaxWords = 4;
inline constexpr std::size_t kMaxWordLength = 127;

struct ScriptWord {
  std::string upper;
  std::string spelling;
};

enum class SplitError { kNone, kWordTooLong, kTooManyWords };

struct SplitLine {
  SplitError error = SplitError::kNone;
  std::vector<ScriptWord> words;
};

SplitLine SplitWords(std::string_view line);

std::string ToUpperAscii(std::string_view text);

}  // namespace zk::runner
