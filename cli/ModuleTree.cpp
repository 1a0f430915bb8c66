#include "cli/ModuleTree.h"

#include "client/ModuleFlow.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zk::cli {
namespace {

namespace fs = std::filesystem;

bool HoldsModule(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(client::ModuleDescriptionPath(dir.string()), ec);
}

std::string FirstLine(const fs::path& dir) {
  const std::optional<std::string> info = files::FindNoCase(dir.string(), "info.txt");
  if (!info) return {};
  std::ifstream in(*info);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::string InstallationDir() {
  if (std::optional<std::string> dir = reg::InstallationDirectory()) return files::ToNative(*dir);
  return files::HostProgramDir();
}

std::vector<ModuleEntry> ListModules() {
  std::vector<ModuleEntry> modules;
  const fs::path target = fs::path(InstallationDir()) / "target";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(target, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_directory(ec) || !HoldsModule(it->path())) continue;
    modules.push_back({fs::relative(it->path(), target, ec).generic_string(), FirstLine(it->path())});
  }
  std::sort(modules.begin(), modules.end(), [](const ModuleEntry& a, const ModuleEntry& b) { return a.name < b.name; });
  return modules;
}

std::optional<std::string> ResolveModule(const std::string& module) {
  const fs::path inTree = fs::path(InstallationDir()) / "target" / files::ToNative(module);
  if (!fs::path(module).is_absolute() && HoldsModule(inTree)) return inTree.string();
  if (HoldsModule(module)) return fs::absolute(module).string();
  return std::nullopt;
}

}  // namespace zk::cli
