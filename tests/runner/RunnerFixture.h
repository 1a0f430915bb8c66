#pragma once
// Runs the Quillrun program on scripts against the scripted data manager of
// tests/support/fakedm: a temporary directory holds the machine registry that
// names the fake's directory as the installation, a module directory whose
// description names the fake, the fake's configuration and its call log.
#include "tests/runner/RunnerProcess.h"
#include "tests/support/Installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zk::runner::test {

inline constexpr char kFakeDmRoot[] = ZK_FAKE_DM_ROOT;

using zk::test::ReadFile;
using zk::test::TempDir;
using zk::test::WriteFile;
using zk::test::WriteMachineRegistry;

// The lines the runner printed, without the program name before them.
std::vector<std::string> Messages(const std::string& err);

class RunnerFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  // Sets key of the fake's [Fake] section.
  void Fake(const std::string& key, const std::string& value);
  RunResult Run(const std::string& script, std::vector<std::string> args = {"--console"});
  // The fake's calls, in order; with a prefix only those that begin with it.
  std::vector<std::string> Calls(const std::string& prefix = "") const;

  std::string ModuleDir() const { return dir_.Path() + "/Module"; }
  std::string ScriptPath() const { return dir_.Path() + "/script.qrs"; }
  const std::string& Dir() const { return dir_.path(); }

  TempDir dir_;
  std::string registry_;
  std::string config_;
  std::string log_;
};

}  // namespace zk::runner::test
