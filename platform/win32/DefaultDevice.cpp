#include "platform/DefaultDevice.h"

namespace zk::com::detail {

// The name CreateFile opens every port by, also those above COM9.
std::string DefaultDevice(unsigned port) { return "\\\\.\\COM" + std::to_string(port); }

}  // namespace zk::com::detail
