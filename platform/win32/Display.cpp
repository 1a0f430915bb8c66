#include "platform/Display.h"

namespace zk {

// A Windows session always has its desktop.
bool DisplayReachable() { return true; }

}  // namespace zk
