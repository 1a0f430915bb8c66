#include "platform/PortPermission.h"

#include "platform/MessageBox.h"
#include "platform/PortFailure.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace zk::com {
namespace {

constexpr std::size_t kNameBuffer = 16384;
constexpr std::string_view kAnyUser = "$USER";

std::string GroupOf(const std::string& device) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) return std::string(kSerialGroup);
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(kNameBuffer);
  if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->gr_name == nullptr || found->gr_gid == 0) {
    return std::string(kSerialGroup);
  }
  return found->gr_name;
}

std::string UserName() {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(kNameBuffer);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr) {
    return std::string(kAnyUser);
  }
  return found->pw_name;
}

}  // namespace

std::string PermissionDeniedText(unsigned port, std::string_view device, std::string_view group,
                                 std::string_view user) {
  std::string text = "COM" + std::to_string(port) + ": permission denied for " + std::string(device) + ".\n";
  text += "Only members of the group " + std::string(group) + " may open it. Add your user to the group\n";
  text += "(sudo adduser " + std::string(user) + " " + std::string(group) + ") and log in again.";
  return text;
}

void ReportPermissionDenied(unsigned port, const std::string& device) {
  MessageBox(PermissionDeniedText(port, device, GroupOf(device), UserName()), kPortMessageCaption,
             MB_OK | MB_ICONERROR);
}

}  // namespace zk::com
