#pragma once
// A port whose device is there but may not be opened by this user: a message
// box naming the device and the group that may open it (dialout on Debian),
// so that the user knows what to change beyond the result code.
#include "platform/Api.h"

#include <string>
#include <string_view>

namespace zk::com {

inline constexpr std::string_view kSerialGroup = "dialout";

// The message for port COMn and its device, owned by group; user is the
// login name to put into the command that fixes it.
ZK_PLATFORM_API std::string PermissionDeniedText(unsigned port, std::string_view device, std::string_view group,
                                                 std::string_view user);

// Shows PermissionDeniedText for the device's own group (dialout when it has
// no name) and the calling user.
ZK_PLATFORM_API void ReportPermissionDenied(unsigned port, const std::string& device);

}  // namespace zk::com
