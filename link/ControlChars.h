#pragma once
// The control characters of the 3964R procedure.
#include <cstdint>

namespace zk::link {

inline constexpr uint8_t STX = 0x02;
inline constexpr uint8_t ETX = 0x03;
inline constexpr uint8_t DLE = 0x10;
inline constexpr uint8_t NAK = 0x15;
inline constexpr uint8_t ETB = 0x17;

}  // namespace zk::link
