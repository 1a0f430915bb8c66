#include "platform/Files.h"

#include "platform/AsciiText.h"
#include "platform/FileSystemBackend.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

namespace zk::files {
namespace {

constexpr std::size_t kReadChunk = 4096;  // first read of a file of unknown size

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

}  // namespace

std::optional<std::string> detail::FindEntryNoCase(std::string_view dir, std::string_view name) {
  const std::string exact = Join(dir, name);
  struct stat st {};
  if (::lstat(ToNative(exact).c_str(), &st) == 0) return exact;

  const std::string nativeDir = dir.empty() ? std::string(".") : ToNative(dir);
  UniqueDir handle(::opendir(nativeDir.c_str()));
  if (!handle) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(handle.get())) {
    const std::string_view entryName = entry->d_name;
    // Several spellings of one name: take the smallest, so the choice does
    // not depend on the directory's order.
    if (text::EqualsNoCase(entryName, name) && (!best || entryName < *best)) best = std::string(entryName);
  }
  if (!best) return std::nullopt;
  return Join(dir, *best);
}

bool detail::SameEntryName(std::string_view a, std::string_view b) { return a == b; }

bool Exists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(ToNative(path).c_str(), &st) == 0;
}

std::string HostProgramPath() {
  std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::optional<std::string> ReadAll(const std::string& path) {
  if (path.empty()) return std::nullopt;
  UniqueFd fd(::open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  // One read more than the size, so that the end shows without growing.
  const bool sized = S_ISREG(st.st_mode) && st.st_size > 0;
  std::string content(sized ? static_cast<std::size_t>(st.st_size) + 1 : kReadChunk, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == content.size()) content.resize(content.size() * 2);
    const ssize_t n = ::read(fd.get(), content.data() + used, content.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  content.resize(used);
  return content;
}

}  // namespace zk::files
