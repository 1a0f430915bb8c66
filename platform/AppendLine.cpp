#include "platform/AppendLine.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zk::files {
namespace {

constexpr mode_t kLogFileMode = 0644;

// A full disk took part of a line: without that part the file still holds
// whole lines only. The offset is just past what the write appended.
void TakeBack(int fd, ssize_t written) {
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  if (end < written) return;
  [[maybe_unused]] const int cut = ::ftruncate(fd, end - written);
}

}  // namespace

bool AppendLine(const std::string& path, std::string_view line) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kLogFileMode));
  if (!fd.valid()) return false;
  std::string text(line);
  text.push_back('\n');
  const ssize_t written = ::write(fd.get(), text.data(), text.size());
  if (written == static_cast<ssize_t>(text.size())) return fd.Close();
  if (written > 0) TakeBack(fd.get(), written);
  return false;
}

}  // namespace zk::files
