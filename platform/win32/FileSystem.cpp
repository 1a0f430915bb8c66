#include "platform/Files.h"

#include "platform/FileSystemBackend.h"
#include "platform/win32/Handle.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

namespace zk::files {
namespace {

bool Present(const std::string& path) {
  return ::GetFileAttributesW(win32::WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// Windows compares file names ignoring case itself: the name as given is
// the entry when it exists.
std::optional<std::string> detail::FindEntryNoCase(std::string_view dir, std::string_view name) {
  const std::string path = Join(dir, name);
  if (!Present(dir.empty() ? std::string(name) : path)) return std::nullopt;
  return dir.empty() ? std::string(name) : path;
}

bool detail::SameEntryName(std::string_view a, std::string_view b) {
  const std::wstring wideA = win32::Widen(a);
  const std::wstring wideB = win32::Widen(b);
  return ::CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

bool Exists(const std::string& path) { return !path.empty() && Present(path); }

std::string HostProgramPath() { return win32::ModuleFilePath(nullptr); }

std::optional<std::string> ReadAll(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const win32::Handle file(::CreateFileW(win32::WidePath(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  std::string content;
  char chunk[4096];
  for (;;) {
    DWORD got = 0;
    if (::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) == 0) return std::nullopt;
    if (got == 0) break;
    content.append(chunk, got);
  }
  return content;
}

}  // namespace zk::files
