#pragma once
// The production log of flash --log: one JSON line appended per module,
// in the file whole the moment AppendLog returns.
#include <string>

namespace zk::cli {

struct LogEntry {
  std::string port;
  std::string module;
  std::string sha256;
  std::string result;  // verified, programmed, failed, cancelled, timed out
  int exitCode = 0;
  double seconds = 0;
};

// false when the file cannot be written.
bool AppendLog(const std::string& path, const LogEntry& entry);

}  // namespace zk::cli
