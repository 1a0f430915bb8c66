#pragma once
// The rate a terminal runs at, exactly, also one set without a termios
// constant (termios2, BOTHER). Apart because the kernel's termios2 header
// clashes with <termios.h>.
#include <cstdint>

namespace zk::modsim {

// 0 when the rate cannot be read.
uint32_t ExactOutputRate(int fd);

}  // namespace zk::modsim
