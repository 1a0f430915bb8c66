#include "platform/SettingsCopy.h"

#include "platform/Files.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace zk::settings {
namespace {

constexpr std::string_view kFolderName = "zelkor";
constexpr std::size_t kPasswdBuffer = 16384;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  passwd entry{};
  passwd* result = nullptr;
  std::vector<char> buffer(kPasswdBuffer);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr) {
    return result->pw_dir;
  }
  return {};
}

}  // namespace

std::string UserConfigDir() {
  const std::string config = Env("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') return files::Join(config, kFolderName);
  const std::string home = HomeDirectory();
  if (home.empty()) return {};
  return files::Join(files::Join(home, ".config"), kFolderName);
}

}  // namespace zk::settings
