#include "tests/hardening/Installation.h"

#include "tests/e2e/QuillrunMessage.h"

#include <filesystem>

namespace zk::hardening {

using test::Placement;

std::string LastMessage(const runner::test::RunResult& run) { return e2e::LastQuillrunMessage(run.err); }

Installation::Installation(std::vector<std::string> simulatorArgs) : sim_(std::move(simulatorArgs)) {
  if (!sim_.Running()) return;
  const std::string bin = e2e::BinDir();
  // Programs are linked rather than copied where the file system allows.
  if (!tree_.Place(bin, {"Quillrun", "libKORDm.so", "libKORCmd.so", "libTarnlink.so", "libZkPlatform.so"},
                   Placement::kHardLink) ||
      !tree_.Place(bin, {"Zelkor.ini", "FlashInfo"}, Placement::kCopy)) {
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(ModuleDir(), ec);
  e2e::FastModuleCopy("ZkSim-Download", ModuleDir());
  ready_ = !ec;
}

runner::test::RunResult Installation::Run(const std::string& script, int timeoutMs) const {
  const std::string path = Dir() + "/script.qrs";
  WriteFile(path, script);
  runner::test::RunOptions options;
  options.program = Dir() + "/Quillrun";
  options.args = {"--console", path};
  options.env["ZELKOR_MACHINE_REGISTRY"] = tree_.Registry();
  options.timeoutMs = timeoutMs;
  return runner::test::RunQuillrun(options);
}

std::string Installation::DownloadScript(const std::string& imagePath) const {
  return "DISABLE VERBOSE\nCONNECT EXTERNAMD " + ModuleDir() + "\nERASESECTOR 4 4\nLOADHEX " + imagePath +
         "\nDOWNLOAD\nDISCONNECT SWRESET\n";
}

std::string Installation::Flash(std::size_t offset, std::size_t length) const {
  const std::string flash = ReadFile(sim_.Dir() + "/flash.img");
  return offset < flash.size() ? flash.substr(offset, length) : std::string();
}

}  // namespace zk::hardening
