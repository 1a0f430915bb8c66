#pragma once
// Whether a graphical display can really be reached: the X server named by
// DISPLAY or the Wayland compositor named by WAYLAND_DISPLAY accepts a
// connection. A variable that is set but names nothing there does not count.
#include "platform/Api.h"

namespace zk {

ZK_PLATFORM_API bool DisplayReachable();

}  // namespace zk
