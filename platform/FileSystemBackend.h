#pragma once
// What each backend's FileSystem.cpp gives the shared name lookup of
// platform/Files.cpp.
#include <optional>
#include <string>
#include <string_view>

namespace zk::files::detail {

// The entry of dir whose name equals name ignoring case (name holds no
// separator and is not empty): dir joined with the entry's own spelling,
// nullopt when there is none.
std::optional<std::string> FindEntryNoCase(std::string_view dir, std::string_view name);

// Whether two names of one folder's entries name the same entry as the file
// system compares them: exactly on Linux, ignoring case on Windows.
bool SameEntryName(std::string_view a, std::string_view b);

}  // namespace zk::files::detail
