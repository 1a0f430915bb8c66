#include "platform/Environment.h"

#include <cstdlib>

namespace zk {

// The C runtime's copy (getenv) and the process's (CreateProcess) both.
bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  return ::_putenv_s(name.c_str(), value.c_str()) == 0;
}

}  // namespace zk
