#include "platform/Files.h"

#include "platform/win32/Handle.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <algorithm>

namespace zk::files {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool Present(const std::string& path) {
  return ::GetFileAttributesW(win32::WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// Windows compares file names ignoring case itself: the name as given is
// the entry when it exists.
std::optional<std::string> FindNoCase(std::string_view dir, std::string_view name) {
  if (name.empty()) return std::nullopt;
  if (std::any_of(name.begin(), name.end(), IsSeparator)) {
    const std::string sub = DirName(name);
    return FindNoCase(Join(dir, sub), BaseName(name));
  }
  const std::string path = Join(dir, name);
  if (!Present(dir.empty() ? std::string(name) : path)) return std::nullopt;
  return dir.empty() ? std::string(name) : path;
}

bool Exists(const std::string& path) { return !path.empty() && Present(path); }

std::string HostProgramPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return win32::Narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> ReadAll(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const win32::Handle file(::CreateFileW(win32::WidePath(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
