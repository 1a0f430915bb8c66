#include "platform/PortPermission.h"

#include "platform/SerialPort.h"
#include "tests/platform/MessageBoxRecorder.h"
#include "tests/support/Env.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace zk::com {
namespace {

TEST(PortPermissionText, NamesThePortTheDeviceAndTheGroup) {
  const std::string text = PermissionDeniedText(3, "/dev/ttyUSB0", "dialout", "anna");
  EXPECT_EQ(text.rfind("COM3: permission denied for /dev/ttyUSB0.", 0), 0u) << text;
  EXPECT_NE(text.find("group dialout"), std::string::npos);
  EXPECT_NE(text.find("sudo adduser anna dialout"), std::string::npos);
}

// What the child found, as its exit code.
enum ChildResult : int { kAsExpected = 0, kOpened = 1, kOtherError = 2, kNoMessage = 3, kCannotDrop = 4 };

constexpr uid_t kNobody = 65534;

// In a child process that may not open the device (root drops to nobody):
// opening COM9 mapped to it fails with PermissionDenied and one message box
// that names the device and its group.
int OpenAsAnotherUser(const std::string& device, const std::string& group) {
  if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
    return kCannotDrop;
  }
  zk::test::SetEnv("ZELKOR_COM9", device);
  test::MessageBoxRecorder boxes;
  OpenError error = OpenError::None;
  if (OpenSerialPort(9, 9600, &error) != nullptr) return kOpened;
  if (error != OpenError::PermissionDenied) return kOtherError;
  if (boxes.texts.size() != 1) return kNoMessage;
  const std::string& text = boxes.texts[0];
  const bool named = text.find(device) != std::string::npos && text.find("group " + group) != std::string::npos;
  return named ? kAsExpected : kNoMessage;
}

TEST(PortPermission, ADeviceTheUserMayNotOpenGivesTheMessageAndItsOwnError) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  ASSERT_EQ(::chmod(device.c_str(), 0600), 0);
  struct stat info {};
  ASSERT_EQ(::stat(device.c_str(), &info), 0);
  const group* owner = ::getgrgid(info.st_gid);
  const std::string groupName = owner != nullptr && info.st_gid != 0 ? owner->gr_name : std::string(kSerialGroup);
  if (::getuid() != 0) {
    ASSERT_EQ(::chmod(device.c_str(), 0), 0);  // not even its owner may
  }

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(OpenAsAnotherUser(device, groupName));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kAsExpected);
}

}  // namespace
}  // namespace zk::com
