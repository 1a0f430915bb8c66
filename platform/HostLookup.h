#pragma once
// The name lookup of a remote port's host, the same on every system (inside
// the platform library): the TCP addresses of host and port, in the order
// the resolver gives them.
#include "platform/RemotePort.h"

#include <memory>

struct addrinfo;

namespace zk::com::detail {

struct AddressListFree {
  void operator()(addrinfo* list) const;
};
using AddressList = std::unique_ptr<addrinfo, AddressListFree>;

// Null when the host is not found, with reason RemoteUnknownHost and the
// resolver's code in systemError.
AddressList LookUpHost(const RemoteAddress& address, OpenError& reason, int& systemError);

}  // namespace zk::com::detail
