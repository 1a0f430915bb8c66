#pragma once
// Any line rate, set exactly: the termios2 interface with BOTHER, for the
// rates the termios table has no constant for (7200, 14400, 28800, 56000).
// Kept apart because the kernel's termios2 header clashes with <termios.h>.
#include <cstdint>

namespace zk::com::detail {

// Sets both directions of the terminal fd to rate; false (errno set) when
// the device refuses it or runs at another rate afterwards.
bool SetExactRate(int fd, uint32_t rate);

}  // namespace zk::com::detail
