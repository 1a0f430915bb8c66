#include "platform/PortFailure.h"

#include "platform/ComPort.h"
#include "platform/MessageBox.h"
#include "platform/PortPermission.h"

#include "platform/ResolverError.h"

#include <cstring>

namespace zk::com {
namespace {

std::string Cause(int systemError) {
  if (systemError == 0) return std::string();
  return std::string(": ") + std::strerror(systemError);
}

}  // namespace

std::string PortFailureText(unsigned port, std::string_view device, const OpenFailure& failure) {
  const std::string name = "COM" + std::to_string(port);
  const std::string path(device);
  switch (failure.error) {
    case OpenError::None: return std::string();
    case OpenError::NoSuchPort:
      if (port < kFirstPort || port > kLastPort) return name + " is not a port: ports are COM1 to COM256.";
      return name + ": the device " + path + " does not exist.";
    case OpenError::InUse: return name + ": " + path + " is in use by another program.";
    case OpenError::PermissionDenied: return name + ": permission denied for " + path + ".";
    case OpenError::NotSerial: return name + ": " + path + " is not a serial device.";
    case OpenError::BadRate:
      return name + ": " + path + " does not take the rate " + std::to_string(failure.rate) + " baud" +
             Cause(failure.systemError) + ".";
    case OpenError::CannotConfigure:
      return name + ": " + path + " cannot be set to " + std::to_string(failure.rate) + " baud, 8N1" +
             Cause(failure.systemError) + ".";
    case OpenError::RemoteBadUrl:
      return name + ": " + path + " is no remote port: write rfc2217://HOST:PORT with the TCP port's number.";
    case OpenError::RemoteUnknownHost:
      return name + ": the host name of " + path + " does not resolve" +
             (failure.systemError != 0 ? std::string(": ") + detail::ResolverErrorText(failure.systemError)
                                       : std::string()) +
             ".";
    case OpenError::RemoteNoAnswer:
      return name + ": the host of " + path + " does not answer" + Cause(failure.systemError) + ".";
    case OpenError::RemoteRefused: return name + ": the host of " + path + " refused the connection.";
    case OpenError::RemoteNoComPort: return name + ": " + path + " answers without RFC 2217 (no COM port option).";
    case OpenError::RemoteClosed: return name + ": " + path + " closed the connection (is the port in use?).";
    case OpenError::CannotOpen: break;
  }
  return name + ": " + path + " cannot be opened" + Cause(failure.systemError) + ".";
}

void ReportPortFailure(unsigned port, const std::string& device, const OpenFailure& failure) {
  if (failure.error == OpenError::None) return;
  if (failure.error == OpenError::PermissionDenied) {
    ReportPermissionDenied(port, device);
    return;
  }
  MessageBox(PortFailureText(port, device, failure), kPortMessageCaption, MB_OK | MB_ICONERROR);
}

void ReportConnectionLost(const std::string& device) {
  MessageBox("connection to " + device + " lost", kPortMessageCaption, MB_OK | MB_ICONERROR);
}

}  // namespace zk::com
