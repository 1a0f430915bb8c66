#include "platform/ResolverError.h"

#include "platform/win32/SystemMessage.h"

namespace zk::com::detail {

// The resolver's codes are Winsock error codes, which the system names.
std::string ResolverErrorText(int code) { return win32::SystemMessage(static_cast<DWORD>(code)); }

}  // namespace zk::com::detail
