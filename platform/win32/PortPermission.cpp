#include "platform/PortPermission.h"

#include "platform/MessageBox.h"
#include "platform/PortFailure.h"

namespace zk::com {

// Windows has no group of serial-port users: a port it refuses to open is
// held by another program, which the open reports as in use. What is left
// is a device whose security forbids this user.
std::string PermissionDeniedText(unsigned port, std::string_view device, std::string_view, std::string_view user) {
  return "COM" + std::to_string(port) + ": access to " + std::string(device) + " is denied to " + std::string(user) +
         ".";
}

void ReportPermissionDenied(unsigned port, const std::string& device) {
  MessageBox(PermissionDeniedText(port, device, {}, "this user"), kPortMessageCaption, MB_OK | MB_ICONERROR);
}

}  // namespace zk::com
