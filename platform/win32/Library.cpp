#include "platform/Library.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/PerThread.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <array>
#include <filesystem>

namespace zk {
namespace {

constexpr std::string_view kDllSuffix = ".dll";

// The text of the last failure on this thread.
struct LastError {
  std::string text;
};
std::string& TheLastError() { return detail::PerThread<LastError>().text; }

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string_view Stem(std::string_view name) {
  if (name.size() > kDllSuffix.size() &&
      text::EqualsNoCase(name.substr(name.size() - kDllSuffix.size()), kDllSuffix)) {
    name.remove_suffix(kDllSuffix.size());
  }
  return name;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(win32::WidePath(path), error);
  return error ? path : win32::Narrow(absolute.lexically_normal().native());
}


}  // namespace

std::optional<std::string> FindLibraryFile(std::string_view path) {
  const std::string name = files::BaseName(path);
  if (name.empty()) return std::nullopt;
  const bool bare = path.find_first_of("/\\") == std::string_view::npos;
  const std::string dir = bare ? files::HostProgramDir() : files::DirName(path);

  const std::string stem(Stem(name));
  const std::array<std::string, 2> candidates = {stem + ".dll", name};
  for (const std::string& candidate : candidates) {
    const std::optional<std::string> found = files::FindNoCase(dir, candidate);
    if (found && IsRegularFile(*found)) return found;
  }
  return std::nullopt;
}

LibraryHandle LoadLibrary(std::string_view path) {
  const std::optional<std::string> file = FindLibraryFile(path);
  if (!file) {
    TheLastError() = "no file matches " + std::string(path);
    return nullptr;
  }
  // The libraries a library needs are looked for beside it first.
  const std::string absolute = AbsolutePath(*file);
  HMODULE library = ::LoadLibraryExW(win32::WidePath(absolute).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) TheLastError() = absolute + ": " + win32::SystemMessage(::GetLastError());
  return reinterpret_cast<LibraryHandle>(library);
}

void* GetProcAddress(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

bool FreeLibrary(LibraryHandle library) {
  return library != nullptr && ::FreeLibrary(static_cast<HMODULE>(library)) != 0;
}

std::string ModuleFileName(const void* addressInModule) {
  if (addressInModule == nullptr) return files::HostProgramPath();
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(addressInModule), &module) == 0) {
    return {};
  }
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return win32::Narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

std::string LastLibraryError() { return TheLastError(); }

}  // namespace zk
