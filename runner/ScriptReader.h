#pragma once
// Reads a script line by line, counting lines from 1. A line is at most 254
// characters long, its line feed and one carriage return before it not
// counted; a longer one is refused rather than cut into pieces, so that the
// tail of a long comment can never run as a command.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace zk::runner {

inline constexpr std::size_t kMaxLineLength = 254;

class ScriptReader {
 public:
  enum class Next { kLine, kTooLong, kEnd, kReadError };

  // False when path cannot be opened for reading (a directory cannot).
  bool Open(const std::string& path);

  // The next line without its line ending; kTooLong leaves line empty.
  Next Read(std::string* line);
  int LineNumber() const { return lineNumber_; }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  int lineNumber_ = 0;
};

}  // namespace zk::runner
