#include "platform/SettingsCopy.h"

#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace zk::settings {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFolderName = "zelkor";
constexpr std::size_t kPasswdBuffer = 16384;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool Absolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

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

// The path made absolute and without "." and ".." steps, as named: a
// symbolic link on the way is not followed.
fs::path Plain(std::string_view path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(files::ToNative(path)), error);
  return (error ? fs::path(files::ToNative(path)) : absolute).lexically_normal();
}

// The installation directory as the machine hive names it. The hive is read
// as it is: a hive has no copy.
std::optional<std::string> Installation() {
  const std::string hive = reg::HiveFile(reg::Hive::LocalMachine);
  std::optional<std::string> dir = ini::ReadOwnValue(hive, reg::kAppPathsKey, reg::kAppPathsValue);
  if (!dir || dir->empty()) return std::nullopt;
  return dir;
}

}  // namespace

std::string UserConfigDir() {
  const std::string config = Env("XDG_CONFIG_HOME");
  if (Absolute(config)) return files::Join(config, kFolderName);
  const std::string home = HomeDirectory();
  if (home.empty()) return {};
  return files::Join(files::Join(home, ".config"), kFolderName);
}

std::string CopyFolder() {
  const std::string chosen = Env("ZELKOR_SETTINGS_DIR");
  return Absolute(chosen) ? chosen : UserConfigDir();
}

std::optional<std::string> CopyOf(std::string_view path) {
  if (path.empty()) return std::nullopt;
  const std::optional<std::string> installation = Installation();
  if (!installation) return std::nullopt;
  const fs::path file = Plain(files::ResolveNoCase(path));
  const fs::path relative = file.lexically_relative(Plain(*installation));
  if (relative.empty() || relative == "." || *relative.begin() == "..") return std::nullopt;
  const std::string folder = CopyFolder();
  if (folder.empty()) return std::string();
  return (Plain(folder) / relative).string();
}

std::string WrittenFile(std::string_view path) { return CopyOf(path).value_or(std::string(path)); }

}  // namespace zk::settings
