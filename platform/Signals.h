#pragma once
// Process-wide signal settings of the programs.
#include "platform/Api.h"

namespace zk {

// A write to a pipe or socket whose reader has gone fails with EPIPE
// instead of ending the process (a run piped into a pager that has quit).
ZK_PLATFORM_API void IgnoreBrokenPipes();

}  // namespace zk
