#pragma once
// Remote serial ports: a port mapping "rfc2217://HOST:PORT" names a serial
// port served over TCP by a Telnet server with the COM-PORT-OPTION of
// RFC 2217 (ser2net, say). The port speaks it so that every layer above
// works as on a local device: rate, 8N1, DTR and RTS, purge, break, and the
// line and modem state the server reports. A host that does not answer,
// refuses, answers without RFC 2217 or closes the connection is an open
// failure or a lost line, never a hang.
#include "platform/Api.h"
#include "platform/PortFailure.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zk::com {

inline constexpr std::string_view kRemotePrefix = "rfc2217://";

struct RemoteAddress {
  std::string host;
  uint16_t port = 0;
};

// "rfc2217://HOST:PORT" to its parts; nullopt for anything else.
ZK_PLATFORM_API std::optional<RemoteAddress> ParseRemotePort(std::string_view mapping);
// Whether a mapping names a remote port (rfc2217://...), well formed or not.
ZK_PLATFORM_API bool IsRemoteMapping(std::string_view mapping);

// Connects, negotiates the COM-PORT-OPTION, sets rate and 8N1 and lowers DTR
// and RTS before any data; nullptr and failure set when any of it fails.
std::unique_ptr<SerialPort> OpenRemotePort(const std::string& mapping, uint32_t rate, OpenFailure& failure);

// Whether the host of a remote mapping accepts a TCP connection within
// timeoutMs (closed again at once).
ZK_PLATFORM_API bool RemoteHostAnswers(const std::string& mapping, uint32_t timeoutMs);

}  // namespace zk::com
