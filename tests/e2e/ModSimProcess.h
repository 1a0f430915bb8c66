#pragma once
// Runs the module simulator on a pseudo terminal for one test and maps COM1
// of this process to it.
#include "tests/support/TempDir.h"
#include "tests/support/TiedChild.h"

#include <string>
#include <vector>

namespace zk::e2e {

class ModSimProcess {
 public:
  // Starts ModSim with args (its configuration is the installation's).
  explicit ModSimProcess(std::vector<std::string> args = {});
  ~ModSimProcess();
  ModSimProcess(const ModSimProcess&) = delete;
  ModSimProcess& operator=(const ModSimProcess&) = delete;

  bool Running() const { return child_.Running(); }
  const std::string& PortPath() const { return path_; }
  const std::string& Dir() const { return dir_.path(); }
  // Sends a signal (SIGUSR1: back to the boot loader).
  void Signal(int signal) const { child_.Signal(signal); }

 private:
  test::TempDir dir_{"zk-e2e"};
  test::TiedChild child_;
  std::string path_;
};

// The installation directory of the build.
std::string BinDir();
std::string ModuleDescription(const std::string& name);
// A copy of a demo module directory in dir whose transport send lock is
// 1 ms, so that the line's own speed sets the pace of a test.
std::string FastModuleCopy(const std::string& name, const std::string& dir);

}  // namespace zk::e2e
