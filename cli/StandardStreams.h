#pragma once
// "-" as a file: an image read from standard input, a read-back written to
// standard output. The libraries load and save only named files, so the
// bytes pass through a temporary file that goes with its holder; a device
// or a pipe named as the output (/dev/stdout) is written the same way, as a
// file cannot be replaced there.
#include "platform/NonCopyable.h"

#include <optional>
#include <string>

namespace zk::cli {

inline constexpr std::string_view kStandardStream = "-";

// A file of the system's temporary directory, removed when the holder goes.
class TemporaryFile : private NonCopyable {
 public:
  explicit TemporaryFile(std::string_view suffix);
  ~TemporaryFile();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// All of standard input; nullopt when it cannot be read.
std::optional<std::string> ReadStandardInput();

// Whether output is to be written through a temporary file: "-", or an
// existing file that is no regular file (a terminal, a pipe, /dev/stdout).
bool IsStreamTarget(const std::string& output);

// Copies the file at from to output ("-": standard output); the reason when
// that fails, empty when it worked.
std::string CopyToTarget(const std::string& from, const std::string& output);

// The system's reason why path cannot be read ("No such file or directory").
std::string ReadFailure(const std::string& path);

}  // namespace zk::cli
