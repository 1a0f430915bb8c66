#pragma once
// The per-user copies of the installation's settings files. The programs
// never change a file of the installation directory (a module description,
// Zelkor.ini): what they write back goes to the user's copy of that file, at
// the same place below the settings folder, and holds only the keys written.
// A read looks in the copy first, then in the installed file, so a package
// upgrade still reaches every key the user never changed.
//
//   settings folder: $ZELKOR_SETTINGS_DIR (a lab's shared folder, say), else
//                    the user's configuration folder, $XDG_CONFIG_HOME/zelkor
//                    or ~/.config/zelkor
//   installation:    the App Paths entry of the machine hive
#include "platform/Api.h"

#include <optional>
#include <string>
#include <string_view>

namespace zk::settings {

// $XDG_CONFIG_HOME/zelkor, else ~/.config/zelkor (a relative
// XDG_CONFIG_HOME is invalid and ignored); empty without a home directory.
ZK_PLATFORM_API std::string UserConfigDir();

// The folder of the copies as above; empty when there is none.
ZK_PLATFORM_API std::string CopyFolder();

// The copy of path when path lies in the installation directory, nullopt
// when it does not. An installed file without a settings folder has an
// empty copy: nothing can be written for it.
ZK_PLATFORM_API std::optional<std::string> CopyOf(std::string_view path);

// The file a write of path changes: its copy, or path itself.
ZK_PLATFORM_API std::string WrittenFile(std::string_view path);

}  // namespace zk::settings
