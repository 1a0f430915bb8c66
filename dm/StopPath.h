#pragma once
// How a stop travels on the data manager's own worker: a check point that
// finds the stop request answers kStopped, the flows hand it up like any
// other code without judging it, and the worker's end turns it into the
// code the caller sees (kFailed). kStopped never leaves the library.
#include "common/ResultCodes.h"

namespace zk::dm {

inline constexpr ResultCode kStopped = 0x7FFFFFFFu;

// The status the caller sees for a flow's result.
constexpr ResultCode CallerStatus(ResultCode flowResult) { return flowResult == kStopped ? kFailed : flowResult; }

}  // namespace zk::dm
