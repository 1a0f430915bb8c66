#pragma once
// Why a port could not be opened, in a message naming the port, its device
// and the cause (held by another program, no such device, not a serial
// device, no permission, a rate the device refuses), so that the user knows
// what to change beyond the result code.
#include "platform/Api.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::com {

// The caption of the message boxes about a port: why it cannot be opened,
// that its connection was lost.
inline constexpr std::string_view kPortMessageCaption = "Serial port";

struct OpenFailure {
  OpenError error = OpenError::None;
  int systemError = 0;  // errno of the failing call, 0 when there was none
  uint32_t rate = 0;    // the rate asked for
};

// The message for COMn mapped to device; empty for OpenError::None.
ZK_PLATFORM_API std::string PortFailureText(unsigned port, std::string_view device, const OpenFailure& failure);

// Shows PortFailureText in a message box (permission problems with the
// device's group and the calling user, see PortPermission.h).
ZK_PLATFORM_API void ReportPortFailure(unsigned port, const std::string& device, const OpenFailure& failure);

// Shows "connection to <device> lost" (a device or a remote port).
ZK_PLATFORM_API void ReportConnectionLost(const std::string& device);

}  // namespace zk::com
