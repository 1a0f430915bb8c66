#pragma once
// The last non-empty line a Quillrun run wrote to standard error, without
// the program's "Quillrun: " prefix: the failing command's message.
#include <sstream>
#include <string>
#include <string_view>

namespace zk::e2e {

inline std::string LastQuillrunMessage(const std::string& text) {
  std::istringstream in(text);
  std::string last;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) last = line;
  }
  constexpr std::string_view kPrefix = "Quillrun: ";
  if (last.rfind(kPrefix, 0) == 0) last.erase(0, kPrefix.size());
  return last;
}

}  // namespace zk::e2e
