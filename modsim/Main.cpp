// ModSim: the module simulator program.
#include "ZkVersion.h"
#include "modsim/Config.h"
#include "modsim/Options.h"
#include "modsim/Simulator.h"

#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cstdio>
#include <string>

namespace {

std::string ProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  const std::string exe(path, static_cast<std::size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zk::modsim;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, &error)) {
    std::fprintf(stderr, "ModSim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(zk::VersionText("ModSim").c_str(), stdout);
    return 0;
  }
  std::string configPath = options.configPath;
  if (configPath.empty() && Exists(ProgramDirectory() + "/ModSim.ini")) configPath = ProgramDirectory() + "/ModSim.ini";
  IniFile ini;
  if (!configPath.empty()) {
    auto loaded = IniFile::Load(configPath, &error);
    if (!loaded) {
      std::fprintf(stderr, "ModSim: configuration %s\n", error.c_str());
      return 2;
    }
    ini = std::move(*loaded);
  }
  for (const auto& [name, value] : options.overrides) {
    const auto dot = name.find('.');
    ini.Set(name.substr(0, dot), name.substr(dot + 1), value);
  }
  SimConfig config;
  try {
    config = LoadConfig(ini, configPath.empty() ? ProgramDirectory() : DirectoryOf(configPath));
  } catch (const ConfigError& e) {
    std::fprintf(stderr, "ModSim: %s: %s\n", configPath.empty() ? "configuration" : configPath.c_str(), e.what());
    return 2;
  }
  if (options.headerMode) config.channel.headerMode = *options.headerMode;
  Simulator simulator(options, config);
  return simulator.Run();
}
