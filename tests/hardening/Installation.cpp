#include "tests/hardening/Installation.h"

#include "tests/e2e/QuillrunMessage.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zk::hardening {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPrograms[] = {"Quillrun", "libKORDm.so", "libKORCmd.so", "libTarnlink.so", "libZkPlatform.so"};

// Programs are linked rather than copied where the file system allows.
bool Place(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_hard_link(from, to, ec);
  if (!ec) return true;
  return fs::copy_file(from, to, ec);
}

}  // namespace

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string LastMessage(const runner::test::RunResult& run) { return e2e::LastQuillrunMessage(run.err); }

Installation::Installation(std::vector<std::string> simulatorArgs) : sim_(std::move(simulatorArgs)) {
  char pattern[] = "/tmp/zk-hardening-XXXXXX";
  if (const char* made = mkdtemp(pattern)) dir_ = made;
  if (dir_.empty() || !sim_.Running()) return;
  const fs::path bin = e2e::BinDir();
  for (const char* program : kPrograms) {
    if (!Place(bin / program, fs::path(dir_) / program)) return;
  }
  std::error_code ec;
  fs::copy_file(bin / "Zelkor.ini", fs::path(dir_) / "Zelkor.ini", ec);
  fs::copy(bin / "FlashInfo", fs::path(dir_) / "FlashInfo", fs::copy_options::recursive, ec);
  fs::create_directories(ModuleDir(), ec);
  e2e::FastModuleCopy("ZkSim-Download", ModuleDir());
  WriteText(dir_ + "/machine.reg",
            "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=" + dir_ + "\n");
  ready_ = !ec;
}

Installation::~Installation() {
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

runner::test::RunResult Installation::Run(const std::string& script, int timeoutMs) const {
  const std::string path = dir_ + "/script.qrs";
  WriteText(path, script);
  runner::test::RunOptions options;
  options.program = dir_ + "/Quillrun";
  options.args = {"--console", path};
  options.env["ZELKOR_MACHINE_REGISTRY"] = dir_ + "/machine.reg";
  options.timeoutMs = timeoutMs;
  return runner::test::RunQuillrun(options);
}

std::string Installation::DownloadScript(const std::string& imagePath) const {
  return "DISABLE VERBOSE\nCONNECT EXTERNAMD " + ModuleDir() + "\nERASESECTOR 4 4\nLOADHEX " + imagePath +
         "\nDOWNLOAD\nDISCONNECT SWRESET\n";
}

std::string Installation::Flash(std::size_t offset, std::size_t length) const {
  const std::string flash = ReadText(sim_.Dir() + "/flash.img");
  return offset < flash.size() ? flash.substr(offset, length) : std::string();
}

}  // namespace zk::hardening
