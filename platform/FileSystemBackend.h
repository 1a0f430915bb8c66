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

}  // namespace zk::files::detail
