#pragma once
// Setting a variable of the process's environment, which the programs it
// starts inherit.
#include "platform/Api.h"

#include <string>

namespace zk {

// Replaces any value the variable had; false when it cannot be set.
ZK_PLATFORM_API bool SetEnvironmentValue(const std::string& name, const std::string& value);

}  // namespace zk
