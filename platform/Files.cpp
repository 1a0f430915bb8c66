#include "platform/Files.h"

#include "platform/AsciiText.h"
#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

namespace zk::files {
namespace {

constexpr std::string_view kSeparators = "/\\";
constexpr std::size_t kReadChunk = 4096;  // first read of a file of unknown size

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

}  // namespace

std::string ToNative(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string Join(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  if (name.empty()) return std::string(dir);
  const std::size_t headEnd = dir.find_last_not_of(kSeparators);
  const std::size_t tailBegin = name.find_first_not_of(kSeparators);
  std::string joined(headEnd == std::string_view::npos ? std::string_view{} : dir.substr(0, headEnd + 1));
  joined += '/';
  if (tailBegin != std::string_view::npos) joined += name.substr(tailBegin);
  return joined;
}

std::string DirName(std::string_view path) {
  const std::size_t last = path.find_last_of(kSeparators);
  if (last == std::string_view::npos) return {};
  const std::size_t end = path.find_last_not_of(kSeparators, last);
  if (end == std::string_view::npos) return std::string(path.substr(0, 1));  // the root
  return std::string(path.substr(0, end + 1));
}

std::string BaseName(std::string_view path) {
  const std::size_t last = path.find_last_of(kSeparators);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::optional<std::string> FindNoCase(std::string_view dir, std::string_view name) {
  if (name.empty()) return std::nullopt;
  if (std::any_of(name.begin(), name.end(), IsSeparator)) {
    // A relative path: only its last component is matched ignoring case.
    const std::string sub = DirName(name);
    return FindNoCase(Join(dir, sub), BaseName(name));
  }
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

std::string ResolveNoCase(std::string_view path) {
  const std::string given(path);
  if (Exists(given)) return given;
  const std::string base = BaseName(path);
  if (base.empty()) return given;
  return FindNoCase(DirName(path), base).value_or(given);
}

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

std::string HostProgramDir() { return DirName(HostProgramPath()); }

bool ReplaceAtomically(const std::string& path, std::string_view content) {
  AtomicFile file(path);
  return file.Write(content.data(), content.size()) && file.Commit();
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
