#pragma once
// Time of the simulator: a steady clock with nanosecond resolution. Every
// state machine takes the current time as an argument, so tests drive them
// with a time of their own.
#include <chrono>
#include <cstdint>
#include <optional>

namespace zk::modsim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = std::chrono::nanoseconds;

// A state machine's next timer; none when nothing is pending.
using Deadline = std::optional<TimePoint>;

constexpr Duration Milliseconds(int64_t ms) { return std::chrono::milliseconds(ms); }
constexpr Duration Microseconds(int64_t us) { return std::chrono::microseconds(us); }

inline Deadline Earliest(Deadline a, Deadline b) {
  if (!a) return b;
  if (!b) return a;
  return *a < *b ? a : b;
}

}  // namespace zk::modsim
