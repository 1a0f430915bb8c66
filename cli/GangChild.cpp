#include "cli/GangChild.h"

#include "cli/Json.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zk::cli {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

GangChild::~GangChild() {
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  CloseFd(out_);
  CloseFd(err_);
}

bool GangChild::Start(const std::string& program, const std::vector<std::string>& args) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // A process group of its own: the terminal's Ctrl-C reaches the parent
    // only, which stops every child itself. The child also stops when the
    // parent dies without doing so.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGINT);
    if (getppid() != parent) _exit(130);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    signal(SIGINT, SIG_DFL);
    execv(raw[0], raw.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    text_ = std::string("cannot start: ") + std::strerror(errno);
    ended_ = true;
    return false;
  }
  setpgid(pid, pid);
  pid_ = pid;
  out_ = out[0];
  err_ = err[0];
  started_ = Clock::now();
  return true;
}

void GangChild::AddFds(std::vector<int>* fds) const {
  if (out_ >= 0) fds->push_back(out_);
  if (err_ >= 0) fds->push_back(err_);
}

void GangChild::Read(int fd) {
  const bool fromStdout = fd == out_;
  if (!fromStdout && fd != err_) return;
  char buffer[4096];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n <= 0) {
    if (n < 0 && errno == EINTR) return;
    CloseFd(fromStdout ? out_ : err_);
    return;
  }
  std::string& pending = fromStdout ? outBuffer_ : errBuffer_;
  pending.append(buffer, static_cast<std::size_t>(n));
  for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
    Line(pending.substr(0, end), fromStdout);
    pending.erase(0, end + 1);
  }
}

void GangChild::Line(const std::string& line, bool fromStdout) {
  if (!fromStdout) {
    // What a library printed: the last such line explains a failure that
    // has no message of its own.
    if (!line.empty()) lastErrorLine_ = line;
    return;
  }
  const std::string event = JsonField(line, "event");
  if (event == "phase") {
    phase_ = JsonField(line, "phase");
    total_ = std::strtoull(JsonField(line, "bytes").c_str(), nullptr, 10);
    done_ = 0;
  } else if (event == "progress") {
    done_ = std::strtoull(JsonField(line, "done").c_str(), nullptr, 10);
  } else if (event == "error") {
    text_ = JsonField(line, "text");
  } else if (event == "summary") {
    outcome_ = JsonField(line, "outcome");
    bytes_ = std::strtoull(JsonField(line, "bytes").c_str(), nullptr, 10);
    if (const std::string text = JsonField(line, "text"); text != "done") text_ = text;
  }
}

bool GangChild::Reap() {
  if (pid_ <= 0) return ended_;
  if (out_ >= 0 || err_ >= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  // Whatever the child left in its group goes with it.
  kill(-pid_, SIGKILL);
  pid_ = -1;
  ended_ = true;
  endedAt_ = Clock::now();
  if (WIFEXITED(status)) {
    exitCode_ = WEXITSTATUS(status);
  } else {
    exitCode_ = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    const std::string signal = "ended by signal " + std::to_string(exitCode_ - 128);
    if (text_.empty()) text_ = stopReason_.empty() ? signal : stopReason_ + ", " + signal;
  }
  if (text_.empty()) text_ = !stopReason_.empty() ? stopReason_ : lastErrorLine_;
  phase_ = "done";
  return true;
}

void GangChild::Stop(const char* reason, std::chrono::milliseconds grace) {
  if (pid_ <= 0 || !stopReason_.empty()) return;
  stopReason_ = reason;
  kill(-pid_, SIGINT);
  killAt_ = Clock::now() + grace;
}

void GangChild::Enforce() {
  if (pid_ > 0 && Clock::now() >= killAt_) {
    kill(-pid_, SIGKILL);
    killAt_ = Clock::time_point::max();
  }
}

std::string GangChild::Outcome() const {
  if (stopReason_ == "timed out") return "timed out";
  if (exitCode_ == 0) return outcome_.empty() ? "programmed" : outcome_;
  if (exitCode_ == 130) return "cancelled";
  return "failed";
}

double GangChild::Seconds() const {
  const Clock::time_point end = ended_ ? endedAt_ : Clock::now();
  return std::chrono::duration<double>(end - started_).count();
}

}  // namespace zk::cli
