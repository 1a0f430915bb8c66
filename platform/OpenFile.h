#pragma once
// A file opened for reading as a C stream.
#include "platform/Api.h"

#include <cstdio>
#include <string>

namespace zk::files {

// nullptr when path cannot be opened or is a directory.
ZK_PLATFORM_API std::FILE* OpenForReading(const std::string& path);

}  // namespace zk::files
