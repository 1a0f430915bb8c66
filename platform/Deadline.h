#pragma once
// Deadlines of the port waits (inside the platform library): none for
// kWaitForever, and the milliseconds left for the system's wait calls.
#include "platform/SerialPort.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace zk::com::detail {

using Clock = std::chrono::steady_clock;

inline std::optional<Clock::time_point> DeadlineAfter(uint32_t timeoutMs) {
  if (timeoutMs == kWaitForever) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Milliseconds left until deadline for poll: -1 without limit.
inline int PollTimeout(std::optional<Clock::time_point> deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The same for the waits that take kWaitForever (INFINITE) for no limit.
inline uint32_t WaitMilliseconds(std::optional<Clock::time_point> deadline) {
  return deadline ? static_cast<uint32_t>(PollTimeout(deadline)) : kWaitForever;
}

}  // namespace zk::com::detail
