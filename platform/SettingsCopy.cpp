#include "platform/SettingsCopy.h"

#include "platform/FileSystemBackend.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <cstdlib>
#include <filesystem>

namespace zk::settings {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool Absolute(const std::string& path) { return !path.empty() && fs::path(path).is_absolute(); }

// The path made absolute and without "." and ".." steps, as named: a
// symbolic link on the way is not followed.
fs::path Plain(std::string_view path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(files::ToNative(path)), error);
  return (error ? fs::path(files::ToNative(path)) : absolute).lexically_normal();
}

// The part of file below dir; empty when file is dir or does not lie below
// it. Each step's name is compared as the file system compares names, so a
// Windows path spelt in other letters than the registry's still lies in the
// installation.
fs::path Below(const fs::path& file, const fs::path& dir) {
  auto step = file.begin();
  for (const fs::path& part : dir) {
    if (part.empty()) continue;  // after a trailing separator
    if (step == file.end() || !files::detail::SameEntryName(step->string(), part.string())) return {};
    ++step;
  }
  fs::path rest;
  for (; step != file.end(); ++step) rest /= *step;
  return rest;
}

// The installation directory as the machine hive names it (a hive is read
// as it is: it has no copy).
std::optional<std::string> Installation() { return reg::InstallationDirectory(); }

}  // namespace

std::string CopyFolder() {
  const std::string chosen = Env("ZELKOR_SETTINGS_DIR");
  return Absolute(chosen) ? chosen : UserConfigDir();
}

std::optional<std::string> CopyOf(std::string_view path) {
  if (path.empty()) return std::nullopt;
  const std::optional<std::string> installation = Installation();
  if (!installation) return std::nullopt;
  const fs::path file = Plain(files::ResolveNoCase(path));
  const fs::path relative = Below(file, Plain(*installation));
  if (relative.empty()) return std::nullopt;
  const std::string folder = CopyFolder();
  if (folder.empty()) return std::string();
  return (Plain(folder) / relative).string();
}

std::string WrittenFile(std::string_view path) { return CopyOf(path).value_or(std::string(path)); }

}  // namespace zk::settings
