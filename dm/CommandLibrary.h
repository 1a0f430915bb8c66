#pragma once
// Where the command layer library is: beside this library, named by
// CommandDll of the module description with ".dll", or "KORCmd.dll". A
// CommandDll that holds a path is refused (nullopt) after a message that
// names the module description and the key.
#include <optional>
#include <string>

namespace zk::dm {

std::optional<std::string> CommandLibraryPath(const std::string& modulePath);

}  // namespace zk::dm
