#pragma once
// The exit codes of zelkor.
namespace zk::cli {

enum class ExitCode : int {
  kDone = 0,
  kFailed = 1,       // an operation failed; its message names it
  kUsage = 2,        // a usage or file error
  kMismatch = 3,     // the flash differs from the image
  kCancelled = 130,  // Ctrl-C (or SIGTERM)
};

inline int Code(ExitCode code) { return static_cast<int>(code); }

}  // namespace zk::cli
