#pragma once
// A program run as a child that the kernel ends when the thread that
// started it goes, however it goes: a test that crashes, or a sanitizer
// that aborts it, leaves no process behind. Its standard output (and on
// request its standard error) comes back through a pipe.
#include <csignal>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zk::test {

class TiedChild {
 public:
  // argv[0] is the program's path.
  explicit TiedChild(std::vector<std::string> argv, bool withErrors = false) {
    int out[2];
    if (pipe(out) != 0) return;
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      // The child of a threaded process: only async-signal-safe calls until exec.
      if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
      if (dup2(out[1], STDOUT_FILENO) < 0) _exit(127);
      if (withErrors && dup2(out[1], STDERR_FILENO) < 0) _exit(127);
      close(out[0]);
      close(out[1]);
      execve(raw[0], raw.data(), environ);
      _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
      close(out[0]);
      return;
    }
    output_ = out[0];
  }
  ~TiedChild() {
    Stop();
    CloseOutput();
  }
  TiedChild(const TiedChild&) = delete;
  TiedChild& operator=(const TiedChild&) = delete;

  bool Running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The first line the program writes; timeoutMs -1 waits for it however long.
  std::string FirstLine(int timeoutMs = -1) {
    std::string line;
    char c;
    pollfd p{output_, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) == 1 && read(output_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Everything the program writes until it ends (or falls silent for timeoutMs).
  std::string AllOutput(int timeoutMs) {
    std::string text;
    char buffer[4096];
    pollfd p{output_, POLLIN, 0};
    ssize_t n;
    while (poll(&p, 1, timeoutMs) == 1 && (n = read(output_, buffer, sizeof buffer)) > 0) text.append(buffer, n);
    return text;
  }
  void CloseOutput() {
    if (output_ >= 0) close(output_);
    output_ = -1;
  }

  // The exit code once the program has ended by itself; -1 if a signal ended it.
  int Wait() {
    int status = -1;
    if (pid_ > 0) waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Ends the program with SIGTERM; its wait status.
  int Stop() {
    int status = -1;
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return status;
  }
  void Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

}  // namespace zk::test
