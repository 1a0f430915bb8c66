#pragma once
// Paths as the system spells them: '\' separates directories, joins use
// exactly one separator, and names the system itself spells are looked up
// ignoring case within their directory.
#include "platform/Api.h"

#include <optional>
#include <string>
#include <string_view>

namespace zk::files {

// '\' becomes '/'.
ZK_PLATFORM_API std::string ToNative(std::string_view path);

// dir + one separator + name, whatever either side ends or begins with.
// The separator written is '/'; separators inside name are kept as given.
// An empty dir gives name unchanged; an empty name gives dir.
ZK_PLATFORM_API std::string Join(std::string_view dir, std::string_view name);

// Directory part (without the trailing separator) and last component.
ZK_PLATFORM_API std::string DirName(std::string_view path);
ZK_PLATFORM_API std::string BaseName(std::string_view path);

// The entry of dir whose name equals name ignoring ASCII case (an exact
// match is preferred); the full path, or nullopt when none exists.
ZK_PLATFORM_API std::optional<std::string> FindNoCase(std::string_view dir, std::string_view name);

// path as given when it exists; otherwise its last component looked up
// ignoring case in its directory; otherwise path unchanged. The directory
// part is never changed.
ZK_PLATFORM_API std::string ResolveNoCase(std::string_view path);

ZK_PLATFORM_API bool Exists(const std::string& path);

// The installation's settings file, beside the programs.
inline constexpr std::string_view kSettingsFile = "Zelkor.ini";

// The real file of the running program (/proc/self/exe) and its directory.
ZK_PLATFORM_API std::string HostProgramPath();
ZK_PLATFORM_API std::string HostProgramDir();

// Replaces the file at path (following a symbolic link to the file it
// names) with content: a temporary file beside it, then rename, keeping the
// permissions. Fails without changing anything when the file is read-only.
ZK_PLATFORM_API bool ReplaceAtomically(const std::string& path, std::string_view content);

// Reads a whole file; nullopt when it cannot be read.
ZK_PLATFORM_API std::optional<std::string> ReadAll(const std::string& path);

}  // namespace zk::files
