#pragma once
// The program's console: whether a stream is a terminal, and a write to
// standard error that a signal or console handler may make.
#include "platform/Api.h"

#include <cstdio>
#include <string_view>

namespace zk {

ZK_PLATFORM_API bool IsTerminal(std::FILE* file);

// Unbuffered, async-signal-safe; a failure is ignored.
ZK_PLATFORM_API void WriteStandardError(std::string_view text);

}  // namespace zk
