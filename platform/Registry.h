#pragma once
// The two registry hives, each an INI-format file: a section per key path,
// name=value per value (DWORDs in decimal).
//   current user:  $XDG_CONFIG_HOME/zelkor/user.reg (~/.config/zelkor/user.reg)
//   local machine: $ZELKOR_MACHINE_REGISTRY, else machine.reg beside the
//                  program's real file, else /etc/zelkor/machine.reg
#include "platform/Api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zk::reg {

enum class Hive { CurrentUser, LocalMachine };

ZK_PLATFORM_API std::string HiveFile(Hive hive);

ZK_PLATFORM_API std::optional<std::string> QueryString(Hive hive, std::string_view key, std::string_view value);
// A value that is absent, empty or not a number gives nullopt.
ZK_PLATFORM_API std::optional<uint32_t> QueryDword(Hive hive, std::string_view key, std::string_view value);

// Creates the hive file and its directory when needed.
ZK_PLATFORM_API bool SetString(Hive hive, std::string_view key, std::string_view value, std::string_view data);
ZK_PLATFORM_API bool SetDword(Hive hive, std::string_view key, std::string_view value, uint32_t data);

// The App Paths entry of the workbench: the installation directory.
inline constexpr std::string_view kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe";
inline constexpr std::string_view kAppPathsValue = "PATH";

// The installation directory from the App Paths value of the machine hive;
// nullopt when it is missing.
ZK_PLATFORM_API std::optional<std::string> InstallationDirectory();

}  // namespace zk::reg
