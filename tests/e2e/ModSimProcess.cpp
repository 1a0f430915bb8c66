#include "tests/e2e/ModSimProcess.h"

#include "platform/Ini.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zk::e2e {

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

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const int rc = posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    close(out[0]);
    return;
  }
  // The first line names the pseudo terminal.
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
  close(out[0]);
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
