#pragma once
// Where the command layer library is: beside this library, named by
// CommandDll of the module description with ".dll", or "KORCmd.dll".
#include <string>

namespace zk::dm {

std::string CommandLibraryPath(const std::string& modulePath);

}  // namespace zk::dm
