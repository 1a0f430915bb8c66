#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/LibraryBackend.h"
#include "platform/PerThread.h"

namespace zk {
namespace {

constexpr std::string_view kDllSuffix = ".dll";

// The text of the last failure on this thread.
struct LastError {
  std::string text;
};
std::string& TheLastError() { return detail::PerThread<LastError>().text; }

// The name without a trailing ".dll" in any case.
std::string_view Stem(std::string_view name) {
  if (name.size() > kDllSuffix.size() && text::EqualsNoCase(name.substr(name.size() - kDllSuffix.size()), kDllSuffix)) {
    name.remove_suffix(kDllSuffix.size());
  }
  return name;
}

}  // namespace

std::optional<std::string> FindLibraryFile(std::string_view path) {
  const std::string native = files::ToNative(path);
  const std::string name = files::BaseName(native);
  if (name.empty()) return std::nullopt;
  const bool bare = native.find('/') == std::string::npos;
  const std::string dir = bare ? files::HostProgramDir() : files::DirName(native);

  for (const std::string& candidate : detail::LibraryFileNames(std::string(Stem(name)), name)) {
    const std::optional<std::string> found = files::FindNoCase(dir, candidate);
    if (found && detail::IsRegularFile(*found)) return found;
  }
  return std::nullopt;
}

LibraryHandle LoadLibrary(std::string_view path) {
  const std::optional<std::string> file = FindLibraryFile(path);
  if (!file) {
    TheLastError() = "no file matches " + std::string(path);
    return nullptr;
  }
  std::string failure;
  LibraryHandle library = detail::OpenLibraryFile(detail::AbsolutePath(*file), failure);
  if (library == nullptr) TheLastError() = failure;
  return library;
}

std::string LastLibraryError() { return TheLastError(); }

}  // namespace zk
