#include "tests/e2e/ModSimProcess.h"

#include "platform/Ini.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zk::e2e {
namespace {

// Starts argv[0] with the write end of out as its standard output, as a
// child that the kernel ends when the thread that started it goes, however
// it goes: a test that crashes, or a sanitizer that aborts it, leaves no
// simulator behind. -1 when it cannot start.
pid_t SpawnTied(char* const argv[], const int out[2]) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // The child of a threaded process: only async-signal-safe calls until exec.
  if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
  if (dup2(out[1], STDOUT_FILENO) < 0) _exit(127);
  close(out[0]);
  close(out[1]);
  execve(argv[0], argv, environ);
  _exit(127);
}

}  // namespace

std::string BinDir() { return ZK_BIN; }

std::string ModuleDescription(const std::string& name) {
  return BinDir() + "/target/Simulator/" + name + "/modul.ini";
}

std::string FastModuleCopy(const std::string& name, const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path source = fs::path(ModuleDescription(name)).parent_path();
  for (const auto& entry : fs::directory_iterator(source))
    fs::copy(entry.path(), fs::path(dir) / entry.path().filename(), fs::copy_options::overwrite_existing);
  const std::string path = dir + "/modul.ini";
  ini::WriteString(path, "RS232", "SendLockTime", "1");
  return path;
}

ModSimProcess::ModSimProcess(std::vector<std::string> args) {
  char tmpl[] = "/tmp/zk-e2e-XXXXXX";
  dir_ = mkdtemp(tmpl);
  int out[2];
  if (pipe(out) != 0) return;
  std::vector<std::string> argv{BinDir() + "/ModSim", "--flash-file", dir_ + "/flash.img"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  pid_ = SpawnTied(raw.data(), out);
  close(out[1]);
  if (pid_ < 0) {
    close(out[0]);
    return;
  }
  // The first line names the pseudo terminal.
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
  close(out[0]);
  if (path_.empty()) {  // it did not start, or ended at once
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  setenv("ZELKOR_COM1", path_.c_str(), 1);
}

ModSimProcess::~ModSimProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  unsetenv("ZELKOR_COM1");
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void ModSimProcess::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

}  // namespace zk::e2e
