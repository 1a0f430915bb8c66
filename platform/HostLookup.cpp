#if defined(_WIN32)
// Winsock before <windows.h>, which would bring the old <winsock.h>.
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "platform/HostLookup.h"

#include <string>

namespace zk::com::detail {

void AddressListFree::operator()(addrinfo* list) const { ::freeaddrinfo(list); }

AddressList LookUpHost(const RemoteAddress& address, OpenError& reason, int& systemError) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(address.port);
  const int code = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
  AddressList list(found);
  if (code != 0 || !list) {
    reason = OpenError::RemoteUnknownHost;
    systemError = code;
    return nullptr;
  }
  return list;
}

}  // namespace zk::com::detail
