#pragma once
// The one command line a Windows program gets: arguments joined so that
// CommandLineToArgvW (and the C runtime's parser) splits them back into
// exactly the same strings.
#include "platform/Api.h"

#include <string>
#include <vector>

namespace zk::process {

// argv[0] is the program's path, which is never escaped (a path holds no
// quote) and is quoted only when it holds blanks.
ZK_PLATFORM_API std::string WindowsCommandLine(const std::vector<std::string>& argv);

}  // namespace zk::process
