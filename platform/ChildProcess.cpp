#include "platform/ChildProcess.h"

#include "platform/UniqueFd.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zk::process {
namespace {

// The parent's environment with the entries replaced or added.
std::vector<std::string> ChildEnvironment(const std::vector<EnvironmentEntry>& additions) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    bool replaced = false;
    for (const auto& [name, value] : additions) {
      replaced = replaced || (text.size() > name.size() && text.starts_with(name) && text[name.size()] == '=');
    }
    if (!replaced) entries.emplace_back(text);
  }
  for (const auto& [name, value] : additions) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> raw;
  for (std::string& text : texts) raw.push_back(text.data());
  raw.push_back(nullptr);
  return raw;
}

}  // namespace

struct ChildProcess::State {
  pid_t pid = -1;
  std::array<files::UniqueFd, 2> pipes{files::UniqueFd(-1), files::UniqueFd(-1)};  // standard output, error
  std::optional<Exit> exit;
  std::string error;

  files::UniqueFd& Pipe(Stream stream) { return pipes[stream == Stream::kOut ? 0 : 1]; }

  Exit Reaped(int status) {
    // Whatever the child left in its group goes with it.
    ::kill(-pid, SIGKILL);
    Exit ended;
    if (WIFEXITED(status)) {
      ended.code = WEXITSTATUS(status);
    } else {
      ended.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
      ended.code = 128 + ended.signal;
    }
    exit = ended;
    return ended;
  }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
  if (state_->pid > 0 && !state_->exit) {
    ::kill(-state_->pid, SIGKILL);
    ::waitpid(state_->pid, nullptr, 0);
  }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<EnvironmentEntry>& environment) {
  if (state_->pid > 0) {
    state_->error = "already started";
    return false;
  }
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    state_->error = std::string("cannot start: ") + std::strerror(errno);
    return false;
  }
  files::UniqueFd outRead(out[0]), outWrite(out[1]);
  if (::pipe2(err, O_CLOEXEC) != 0) {
    state_->error = std::string("cannot start: ") + std::strerror(errno);
    return false;
  }
  files::UniqueFd errRead(err[0]), errWrite(err[1]);
  // The child writes the errno of a failed exec here; an exec that works
  // closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    state_->error = std::string("cannot start: ") + std::strerror(errno);
    return false;
  }
  files::UniqueFd reportRead(report[0]), reportWrite(report[1]);
  const files::UniqueFd input(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  // Everything the child needs is made before the fork: after it, in a
  // process with threads, only async-signal-safe calls are allowed.
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> rawArgs = Pointers(argv);
  std::vector<std::string> env = ChildEnvironment(environment);
  std::vector<char*> rawEnv = Pointers(env);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // A process group of its own: the terminal's Ctrl-C reaches the parent
    // only. The child also stops when the parent dies without ending it.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGINT);
    if (::getppid() != parent) ::_exit(130);
    if (input.valid()) ::dup2(input.get(), STDIN_FILENO);
    ::dup2(outWrite.get(), STDOUT_FILENO);
    ::dup2(errWrite.get(), STDERR_FILENO);
    ::signal(SIGINT, SIG_DFL);
    ::execve(rawArgs[0], rawArgs.data(), rawEnv.data());
    const int failure = errno;
    [[maybe_unused]] const ssize_t ignored = ::write(reportWrite.get(), &failure, sizeof failure);
    ::_exit(127);
  }
  if (pid < 0) {
    state_->error = std::string("cannot start: ") + std::strerror(errno);
    return false;
  }
  reportWrite.Close();
  int failure = 0;
  ssize_t got = 0;
  do {
    got = ::read(reportRead.get(), &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  if (got == sizeof failure) {
    ::waitpid(pid, nullptr, 0);
    state_->error = "cannot start " + program + ": " + std::strerror(failure);
    return false;
  }
  ::setpgid(pid, pid);
  ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
  ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);
  state_->pid = pid;
  state_->pipes = {std::move(outRead), std::move(errRead)};
  state_->error.clear();
  return true;
}

const std::string& ChildProcess::Error() const { return state_->error; }

bool ChildProcess::Running() const { return state_->pid > 0 && !state_->exit; }

bool ChildProcess::Open(Stream stream) const { return state_->Pipe(stream).valid(); }

bool ChildProcess::Read(Stream stream, std::string& text) {
  files::UniqueFd& pipe = state_->Pipe(stream);
  char buffer[4096];
  while (pipe.valid()) {
    const ssize_t n = ::read(pipe.get(), buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    pipe.Close();
  }
  return false;
}

void ChildProcess::Interrupt() {
  if (Running()) ::kill(-state_->pid, SIGINT);
}

void ChildProcess::Kill() {
  if (Running()) ::kill(-state_->pid, SIGKILL);
}

std::optional<Exit> ChildProcess::Poll() {
  if (state_->pid <= 0 || state_->exit) return state_->exit;
  int status = 0;
  if (::waitpid(state_->pid, &status, WNOHANG) != state_->pid) return std::nullopt;
  return state_->Reaped(status);
}

std::optional<Exit> ChildProcess::Wait() {
  if (state_->pid <= 0 || state_->exit) return state_->exit;
  int status = 0;
  pid_t reaped = -1;
  do {
    reaped = ::waitpid(state_->pid, &status, 0);
  } while (reaped < 0 && errno == EINTR);
  if (reaped != state_->pid) return std::nullopt;
  return state_->Reaped(status);
}

void ChildProcess::WaitForOutput(std::span<ChildProcess* const> children, std::chrono::milliseconds timeout) {
  std::vector<pollfd> fds;
  for (const ChildProcess* child : children) {
    for (const files::UniqueFd& pipe : child->state_->pipes) {
      if (pipe.valid()) fds.push_back({pipe.get(), POLLIN, 0});
    }
  }
  ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
}

}  // namespace zk::process
