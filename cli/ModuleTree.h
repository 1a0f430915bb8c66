#pragma once
// The module tree below <installation>/target: every folder that holds a
// module description, named by its path relative to target.
#include <optional>
#include <string>
#include <vector>

namespace zk::cli {

struct ModuleEntry {
  std::string name;         // e.g. Simulator/ZkSim-Download
  std::string description;  // the first line of its info.txt
};

std::string InstallationDir();
std::vector<ModuleEntry> ListModules();
// The folder of module M: target/M, or M itself when it is a folder with a
// module description; nullopt when neither is.
std::optional<std::string> ResolveModule(const std::string& module);

}  // namespace zk::cli
