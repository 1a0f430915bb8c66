#include "tests/link/PtyPair.h"
#include "tests/support/Env.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace zk::test {

PtyPair::PtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("no pseudo terminal");
  }
  slavePath_ = ::ptsname(master_);
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) throw std::runtime_error("cannot open " + slavePath_);
  termios raw{};
  ::tcgetattr(slave_, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave_, TCSANOW, &raw);
}

PtyPair::~PtyPair() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

void PtyPair::BindPort(unsigned n) const { zk::test::SetEnv("ZELKOR_COM" + std::to_string(n), slavePath_); }

void PtyPair::HangUp() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace zk::test
