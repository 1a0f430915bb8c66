#include "platform/Files.h"

#include "platform/AsciiText.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystemBackend.h"

#include <algorithm>

namespace zk::files {
namespace {

constexpr std::string_view kSeparators = "/\\";

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
  if (name.find_first_of(kSeparators) != std::string_view::npos) {
    // A relative path: only its last component is matched ignoring case.
    const std::string sub = DirName(name);
    return FindNoCase(Join(dir, sub), BaseName(name));
  }
  return detail::FindEntryNoCase(dir, name);
}

std::string ResolveNoCase(std::string_view path) {
  const std::string given(path);
  if (Exists(given)) return given;
  const std::string base = BaseName(path);
  if (base.empty()) return given;
  return FindNoCase(DirName(path), base).value_or(given);
}

std::string HostProgramDir() { return DirName(HostProgramPath()); }

bool ReplaceAtomically(const std::string& path, std::string_view content) {
  AtomicFile file(path);
  return file.Write(content.data(), content.size()) && file.Commit();
}

}  // namespace zk::files
