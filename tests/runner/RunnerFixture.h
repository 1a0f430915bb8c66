#pragma once
// Runs the Quillrun program on scripts against the scripted data manager of
// tests/runner/fakedm: a temporary directory holds the machine registry that
// names the fake's directory as the installation, a module directory whose
// description names the fake, the fake's configuration and its call log.
#include "platform/NonCopyable.h"
#include "tests/runner/RunnerProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zk::runner::test {

inline constexpr char kFakeDmRoot[] = ZK_FAKE_DM_ROOT;

class TempDir : private NonCopyable {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
// A machine registry whose App Paths entry names installDir.
void WriteMachineRegistry(const std::string& path, const std::string& installDir);

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
  const std::string& Dir() const { return dir_.Path(); }

  TempDir dir_;
  std::string registry_;
  std::string config_;
  std::string log_;
};

}  // namespace zk::runner::test
