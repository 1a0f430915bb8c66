#pragma once
// Private-profile INI files with the Windows rules: section and key names
// compare ignoring ASCII case and surrounding blanks, the first match wins,
// values are trimmed, ';' starts a comment line, an absent key gives the
// caller's default. Writes keep every other line byte for byte and replace
// the file atomically.
//
// Lines that are neither "[section]" nor "key=value" (a line without '=', a
// '[' without its ']') are ignored, as are keys before the first section.
// A missing or unreadable file reads as a file with no keys. A value in
// double quotes is read without the one surrounding pair.
//
// A file of the installation directory is read through the user's copy of it
// and written only there (platform/SettingsCopy.h); every other file is read
// and written as it is.
#include "platform/Api.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zk::ini {

// GetPrivateProfileString: the value (or the default) truncated to
// bufferSize - 1 characters; bufferSize 0 gives an empty string.
ZK_PLATFORM_API std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                                      std::string_view defaultValue, std::size_t bufferSize);

// GetPrivateProfileInt: an optional sign, then 0x/0X and hex digits or else
// decimal digits, the longest valid leading part; no digits gives 0; an
// absent key gives the default.
ZK_PLATFORM_API int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
                               int32_t defaultValue);

// The integer rule of GetInt applied to a value text.
ZK_PLATFORM_API int32_t ParseInt(std::string_view text);

// The value of a key as GetString reads it (trimmed, one pair of surrounding
// double quotes removed), untruncated; nullopt when the key is absent.
ZK_PLATFORM_API std::optional<std::string> ReadValue(const std::string& path, std::string_view section,
                                                     std::string_view key);

// ReadValue of exactly the file path, never its copy (the registry hives).
ZK_PLATFORM_API std::optional<std::string> ReadOwnValue(const std::string& path, std::string_view section,
                                                        std::string_view key);

// WritePrivateProfileString: replaces the key in place or appends it (and
// its section). Fails without changing anything when the file is read-only
// or cannot be replaced. A file of the installation is left as it is: the
// key goes to its copy (created with its folders when needed), unless the
// file already reads so.
ZK_PLATFORM_API bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                                 std::string_view value);

}  // namespace zk::ini
