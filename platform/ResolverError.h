#pragma once
// The text of a host name resolver's error code (getaddrinfo).
#include <string>

namespace zk::com::detail {

std::string ResolverErrorText(int code);

}  // namespace zk::com::detail
