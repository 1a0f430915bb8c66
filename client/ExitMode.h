#pragma once
// What the module does when a program disconnects: the mode byte of the
// ExitRequest that DmExitZelkor takes.
#include <cstdint>

namespace zk::client {

enum class ExitMode : uint8_t { kNone = 0, kJump = 1, kSoftwareReset = 2, kHardwareReset = 3 };

constexpr uint8_t ModeByte(ExitMode mode) { return static_cast<uint8_t>(mode); }

}  // namespace zk::client
