#pragma once
// One module of a gang: a zelkor flash --json child process on one port,
// in a process group of its own, its event lines read as they come.
#include "cli/Options.h"
#include "platform/ChildProcess.h"
#include "platform/NonCopyable.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zk::cli {

class GangChild : private NonCopyable {
 public:
  using Clock = std::chrono::steady_clock;

  explicit GangChild(std::string port) : port_(std::move(port)) {}

  // Starts program with args; false (with the reason as text) when it
  // could not be started.
  bool Start(const std::string& program, const std::vector<std::string>& args);
  // The process to wait on for output.
  process::ChildProcess* Process() { return &process_; }
  // Reads what is there on its standard output and error; parses event lines.
  void Read();
  // Reaps the child once both pipes are closed; true when it has ended.
  bool Reap();
  // Asks the child's process group to stop (SIGINT), then ends it (SIGKILL)
  // when it has not ended grace later.
  void Stop(const char* reason, std::chrono::milliseconds grace);
  // Called regularly: ends a child that was asked to stop and did not.
  void Enforce();

  const std::string& Port() const { return port_; }
  bool Running() const { return process_.Running(); }
  bool Ended() const { return ended_; }
  const std::string& Phase() const { return phase_; }
  uint64_t Done() const { return done_; }
  uint64_t Total() const { return total_; }
  int ExitCode() const { return exitCode_; }
  // verified, programmed, cancelled, failed (a mismatch too), timed out.
  std::string Outcome() const;
  const std::string& Text() const { return text_; }
  uint64_t Bytes() const { return bytes_; }
  double Seconds() const;

 private:
  void Line(const std::string& line, bool fromStdout);

  std::string port_;
  process::ChildProcess process_;
  std::string outBuffer_;
  std::string errBuffer_;
  std::string phase_ = "starting";
  uint64_t done_ = 0;
  uint64_t total_ = 0;
  uint64_t bytes_ = 0;
  std::string outcome_;
  std::string text_;
  std::string stopReason_;     // why the parent stopped it
  std::string lastErrorLine_;  // the last line on its standard error
  int exitCode_ = -1;
  bool ended_ = false;
  Clock::time_point started_ = Clock::now();
  Clock::time_point endedAt_{};
  Clock::time_point killAt_ = Clock::time_point::max();
};

}  // namespace zk::cli
