#pragma once
// One module of a gang: a zelkor flash --json child process on one port,
// in a process group of its own, its event lines read as they come.
#include "cli/Options.h"
#include "platform/NonCopyable.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

namespace zk::cli {

class GangChild : private NonCopyable {
 public:
  using Clock = std::chrono::steady_clock;

  explicit GangChild(std::string port) : port_(std::move(port)) {}
  ~GangChild();

  // Starts program with args; false (with the reason as text) when it
  // could not be started.
  bool Start(const std::string& program, const std::vector<std::string>& args);
  // The descriptors to wait on: standard output and standard error while
  // they are open.
  void AddFds(std::vector<int>* fds) const;
  // Reads what is there on fd (one of this child's); parses event lines.
  void Read(int fd);
  // Reaps the child once both pipes are closed; true when it has ended.
  bool Reap();
  // Asks the child's process group to stop (SIGINT), then ends it (SIGKILL)
  // when it has not ended grace later.
  void Stop(const char* reason, std::chrono::milliseconds grace);
  // Called regularly: ends a child that was asked to stop and did not.
  void Enforce();

  const std::string& Port() const { return port_; }
  bool Running() const { return pid_ > 0; }
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
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
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
