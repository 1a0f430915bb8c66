#pragma once
// The blank/used status of sectors, asked for inside another operation (the
// worker of CmmGetSectorStatus lists it for the caller).
#include "common/ResultCodes.h"
#include "platform/Threads.h"

#include <cstdint>
#include <optional>

namespace zk::cmd {

class Session;

// The caller of a status walk that belongs to no worker of its own: no
// message is posted and no progress set.
inline constexpr ThreadId kNoCaller = 0;

// Whether [start, end] of one bank holds nothing but erased bytes (steps the
// module cannot reach do not count); nullopt, with code, when the module
// could not be asked.
std::optional<bool> RangeBlank(Session& session, uint32_t start, uint32_t end, ResultCode& code);

}  // namespace zk::cmd
