#pragma once
// Wrap-safe 32-bit millisecond tick count of a steady clock. Tests can put a
// clock of their own in its place.
#include "platform/Api.h"

#include <cstdint>

namespace zk {

ZK_PLATFORM_API uint32_t GetTickCount();

// Milliseconds from start to now, correct across the 32-bit wrap.
inline uint32_t TicksSince(uint32_t start, uint32_t now) { return now - start; }

// Replaces the clock (nullptr restores the steady clock).
using TickSource = uint32_t (*)();
ZK_PLATFORM_API void SetTickSource(TickSource source);

}  // namespace zk
