#pragma once
// A private copy of the build's installation (programs, libraries, settings
// file, flash descriptions, the demo module) in a temporary directory, so
// that a test can spoil any of its files, and the module simulator of the
// build on a pseudo terminal as COM1.
#include "tests/e2e/ModSimProcess.h"
#include "tests/runner/RunnerProcess.h"
#include "tests/support/Installation.h"

#include <string>
#include <vector>

namespace zk::hardening {

class Installation {
 public:
  explicit Installation(std::vector<std::string> simulatorArgs = {});
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  bool Ready() const { return ready_; }
  std::string Dir() const { return tree_.Dir(); }
  std::string ModuleDir() const { return Dir() + "/Module"; }
  std::string ModuleDescription() const { return ModuleDir() + "/modul.ini"; }
  // The flash description of the demo module's first bank.
  std::string FlashDescription() const { return Dir() + "/FlashInfo/00a7x2101x0001.ini"; }

  // Runs the copied Quillrun --console on script text.
  runner::test::RunResult Run(const std::string& script, int timeoutMs = 60000) const;
  // The usual download: connect, erase the 64 KB sector at 0x10000, load
  // the file, program it, disconnect.
  std::string DownloadScript(const std::string& imagePath) const;
  // The simulator's terminal, COM1 of the runs.
  const std::string& PortPath() const { return sim_.PortPath(); }
  // The simulator's flash from offset.
  std::string Flash(std::size_t offset, std::size_t length) const;

 private:
  e2e::ModSimProcess sim_;
  test::TempInstallation tree_{"zk-hardening"};
  bool ready_ = false;
};

using test::ReadFile;
using test::WriteFile;
// The runner's last line on standard error, without the program name.
std::string LastMessage(const runner::test::RunResult& run);

}  // namespace zk::hardening
