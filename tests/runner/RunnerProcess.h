#pragma once
// Runs the Quillrun program of the build as a child process and collects
// what it prints and its exit code.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zk::runner::test {

struct RunResult {
  int exitCode = -1;  // -1: it did not end by itself (killed at the deadline)
  std::string out;    // standard output
  std::string err;    // standard error
};

struct RunOptions {
  std::string program;  // empty: the build's Quillrun
  std::vector<std::string> args;
  // Environment variables set (a nullopt value: removed) on top of ours.
  std::map<std::string, std::optional<std::string>> env;
  std::string input;  // standard input
  // Standard error a pipe whose reading end is closed as soon as the
  // program has started, as when it feeds a pager that has quit.
  bool closedErr = false;
  int timeoutMs = 60000;
};

RunResult RunQuillrun(const RunOptions& options);

std::string QuillrunPath();
std::string BinDir();

}  // namespace zk::runner::test
