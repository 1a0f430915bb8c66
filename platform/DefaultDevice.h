#pragma once
// The device of port n when nothing maps it.
#include <string>

namespace zk::com::detail {

std::string DefaultDevice(unsigned port);

}  // namespace zk::com::detail
