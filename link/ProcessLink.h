#pragma once
// The one link of the process, shared by the TN3964R_* and Net* exports.
#include "link/LinkDriver.h"

namespace zk::link {

LinkDriver& ProcessLink();

}  // namespace zk::link
