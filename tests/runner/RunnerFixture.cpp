#include "tests/runner/RunnerFixture.h"

#include "platform/Ini.h"

#include <sstream>

namespace zk::runner::test {

std::vector<std::string> Messages(const std::string& err) {
  std::vector<std::string> lines;
  std::stringstream in(err);
  const std::string prefix = "Quillrun: ";
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line);
  }
  return lines;
}

void RunnerFixture::SetUp() {
  registry_ = Dir() + "/machine.reg";
  config_ = Dir() + "/fake.ini";
  log_ = Dir() + "/calls.log";
  WriteMachineRegistry(registry_, std::string(kFakeDmRoot) + "/scripted");
  WriteFile(ModuleDir() + "/modul.ini", "[General]\nDmDLL=FakeDm\n");
  WriteFile(config_, "[Fake]\n");
}

void RunnerFixture::Fake(const std::string& key, const std::string& value) {
  ASSERT_TRUE(ini::WriteString(config_, "Fake", key, value));
}

RunResult RunnerFixture::Run(const std::string& script, std::vector<std::string> args) {
  WriteFile(ScriptPath(), script);
  RunOptions options;
  options.args = std::move(args);
  options.args.push_back(ScriptPath());
  options.env["ZELKOR_MACHINE_REGISTRY"] = registry_;
  options.env["FAKE_DM_CONFIG"] = config_;
  options.env["FAKE_DM_LOG"] = log_;
  options.timeoutMs = 20000;
  return RunQuillrun(options);
}

std::vector<std::string> RunnerFixture::Calls(const std::string& prefix) const {
  std::vector<std::string> calls;
  std::stringstream in(ReadFile(log_));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) calls.push_back(line);
  }
  return calls;
}

}  // namespace zk::runner::test
