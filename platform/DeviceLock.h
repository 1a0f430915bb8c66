#pragma once
// Whether a program holds the lock of a serial device, found without
// opening the device: every open of a serial port raises its DTR and RTS,
// which reset or boot the module of the program that holds it. Only locks
// show (flock, as OpenSerialDevice takes, or a record lock); a device held
// without one does not.
#include <string>

namespace zk::com::detail {

// false also when it cannot be told (no such device, /proc not mounted).
bool DeviceLocked(const std::string& path);

}  // namespace zk::com::detail
