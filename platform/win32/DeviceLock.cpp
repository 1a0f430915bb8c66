#include "platform/DeviceLock.h"

namespace zk::com::detail {

// A port is opened without sharing: the system itself refuses a second
// opener, so no other program's lock needs looking for.
bool DeviceLocked(const std::string&) { return false; }

}  // namespace zk::com::detail
