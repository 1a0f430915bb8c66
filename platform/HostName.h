#pragma once
// The name of this computer.
#include "platform/Api.h"

#include <string>

namespace zk {

// "unknown" when the system does not say.
ZK_PLATFORM_API std::string HostName();

}  // namespace zk
