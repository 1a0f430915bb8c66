#include "platform/ExactRate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace zk::com::detail {

bool SetExactRate(int fd, uint32_t rate) {
  termios2 settings{};
  if (::ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = rate;
  settings.c_ospeed = rate;
  if (::ioctl(fd, TCSETS2, &settings) != 0) return false;
  termios2 applied{};
  if (::ioctl(fd, TCGETS2, &applied) != 0) return false;
  if (applied.c_ospeed != rate || applied.c_ispeed != rate) {
    errno = EINVAL;
    return false;
  }
  return true;
}

}  // namespace zk::com::detail
