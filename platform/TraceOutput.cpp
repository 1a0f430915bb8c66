#include "platform/TraceOutput.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

namespace zk::trace::detail {
namespace {

constexpr mode_t kTraceFileMode = 0666;

// Writes all of the pieces; a failing trace is given up without a word, as
// it must never stop the work it traces.
void WriteAll(int fd, iovec* pieces, int count) {
  while (count > 0) {
    const ssize_t written = ::writev(fd, pieces, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= pieces->iov_len) {
      left -= pieces->iov_len;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->iov_base = static_cast<char*>(pieces->iov_base) + left;
      pieces->iov_len -= left;
    }
  }
}

}  // namespace

Output::Output(const std::string& path) {
  if (path.empty()) {
    handle_ = STDERR_FILENO;
  } else {
    handle_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kTraceFileMode);
    owned_ = true;
  }
  valid_ = handle_ >= 0;
}

Output::~Output() {
  if (owned_ && valid_) ::close(static_cast<int>(handle_));
}

void Output::Write(std::string_view first, std::string_view second, std::string_view third) {
  if (!valid_) return;
  iovec pieces[3] = {{const_cast<char*>(first.data()), first.size()},
                     {const_cast<char*>(second.data()), second.size()},
                     {const_cast<char*>(third.data()), third.size()}};
  WriteAll(static_cast<int>(handle_), pieces, 3);
}

long ProcessId() { return static_cast<long>(::getpid()); }

}  // namespace zk::trace::detail
