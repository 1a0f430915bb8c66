#pragma once
// The rate tables of the boot loader dialogue.
#include <cstdint>

namespace zk::modsim {

// Handshake index byte: 1 = 300 ... 10 = 115200; 0 for any other byte.
uint32_t HandshakeRate(uint8_t index);
// Speed switch index of the flash-file protocol: 0 = 9600 ... 3 = 57600; 0 otherwise.
uint32_t SpeedSwitchRate(uint8_t index);

}  // namespace zk::modsim
