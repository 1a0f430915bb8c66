#include "platform/Registry.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/SettingsCopy.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>

namespace zk::reg {
namespace {

constexpr std::string_view kUserHiveName = "user.reg";
constexpr std::string_view kMachineHiveName = "machine.reg";
constexpr std::string_view kSystemMachineHive = "/etc/zelkor/machine.reg";
constexpr int kHexBase = 16;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string UserHive() {
  const std::string dir = settings::UserConfigDir();
  return dir.empty() ? std::string() : files::Join(dir, kUserHiveName);
}

std::string MachineHive() {
  const std::string overridden = Env("ZELKOR_MACHINE_REGISTRY");
  if (!overridden.empty()) return overridden;
  if (std::optional<std::string> beside = files::FindNoCase(files::HostProgramDir(), kMachineHiveName)) {
    return *beside;
  }
  return std::string(kSystemMachineHive);
}

// Reading trims blanks and removes one pair of quotes, so data that either
// would change is written inside quotes and reads back exactly.
std::string Quoted(std::string_view data) {
  const bool needsQuotes = !data.empty() && (text::IsBlank(data.front()) || text::IsBlank(data.back()) ||
                                             (data.size() >= 2 && data.front() == '"' && data.back() == '"'));
  if (!needsQuotes) return std::string(data);
  return "\"" + std::string(data) + "\"";
}

std::optional<uint32_t> ParseDword(std::string_view text) {
  text = text::TrimBlanks(text);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = kHexBase;
  }
  if (text.empty()) return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string HiveFile(Hive hive) { return hive == Hive::CurrentUser ? UserHive() : MachineHive(); }

std::optional<std::string> QueryString(Hive hive, std::string_view key, std::string_view value) {
  const std::string file = HiveFile(hive);
  if (file.empty()) return std::nullopt;
  // A hive is read as it is, never through a copy.
  return ini::ReadOwnValue(file, key, value);
}

std::optional<uint32_t> QueryDword(Hive hive, std::string_view key, std::string_view value) {
  const std::optional<std::string> text = QueryString(hive, key, value);
  if (!text) return std::nullopt;
  return ParseDword(*text);
}

bool SetString(Hive hive, std::string_view key, std::string_view value, std::string_view data) {
  const std::string file = HiveFile(hive);
  if (file.empty()) return false;
  const std::string dir = files::DirName(files::ToNative(file));
  if (!dir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) return false;
  }
  return ini::WriteString(file, key, value, Quoted(data));
}

bool SetDword(Hive hive, std::string_view key, std::string_view value, uint32_t data) {
  return SetString(hive, key, value, std::to_string(data));
}

std::optional<std::string> InstallationDirectory() {
  std::optional<std::string> dir = QueryString(Hive::LocalMachine, kAppPathsKey, kAppPathsValue);
  if (!dir || dir->empty()) return std::nullopt;
  return dir;
}

}  // namespace zk::reg
