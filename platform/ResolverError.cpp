#include "platform/ResolverError.h"

#include <netdb.h>

namespace zk::com::detail {

std::string ResolverErrorText(int code) { return ::gai_strerror(code); }

}  // namespace zk::com::detail
