#include "platform/DefaultDevice.h"

namespace zk::com::detail {

// COM1 is the first serial device, /dev/ttyS0.
std::string DefaultDevice(unsigned port) { return "/dev/ttyS" + std::to_string(port - 1); }

}  // namespace zk::com::detail
