#include "platform/HostName.h"

#include <unistd.h>

namespace zk {

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}

}  // namespace zk
