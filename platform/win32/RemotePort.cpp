#include "platform/RemotePort.h"

namespace zk::com {

// Remote ports are not offered on Windows yet: a remote mapping is refused
// as a host that does not answer.
std::unique_ptr<SerialPort> OpenRemotePort(const std::string& mapping, uint32_t rate, OpenFailure& failure) {
  failure = OpenFailure{ParseRemotePort(mapping) ? OpenError::RemoteNoAnswer : OpenError::RemoteBadUrl, 0, rate};
  return nullptr;
}

bool RemoteHostAnswers(const std::string&, uint32_t) { return false; }

}  // namespace zk::com
