#include "tests/e2e/ModSimProcess.h"

#include "platform/Ini.h"

#include <cstdlib>
#include <filesystem>

namespace zk::e2e {

std::string BinDir() { return ZK_BIN; }

std::string ModuleDescription(const std::string& name) { return BinDir() + "/target/Simulator/" + name + "/modul.ini"; }

std::string FastModuleCopy(const std::string& name, const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path source = fs::path(ModuleDescription(name)).parent_path();
  for (const auto& entry : fs::directory_iterator(source)) {
    fs::copy(entry.path(), fs::path(dir) / entry.path().filename(), fs::copy_options::overwrite_existing);
  }
  const std::string path = dir + "/modul.ini";
  ini::WriteString(path, "RS232", "SendLockTime", "1");
  return path;
}

ModSimProcess::ModSimProcess(std::vector<std::string> args)
    : child_([&] {
        std::vector<std::string> argv{BinDir() + "/ModSim", "--flash-file", dir_.File("flash.img")};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
      }()) {
  // The first line names the pseudo terminal.
  path_ = child_.FirstLine();
  child_.CloseOutput();
  if (path_.empty()) {  // it did not start, or ended at once
    child_.Wait();
    return;
  }
  setenv("ZELKOR_COM1", path_.c_str(), 1);
}

ModSimProcess::~ModSimProcess() {
  child_.Stop();
  unsetenv("ZELKOR_COM1");
}

}  // namespace zk::e2e
