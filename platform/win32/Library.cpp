#include "platform/Files.h"
#include "platform/LibraryBackend.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <filesystem>

namespace zk {

namespace detail {

std::vector<std::string> LibraryFileNames(const std::string& stem, const std::string& name) {
  return {stem + ".dll", name};
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(win32::WidePath(path), error);
  return error ? path : win32::Narrow(absolute.lexically_normal().native());
}

// The libraries a library needs are looked for beside it first.
LibraryHandle OpenLibraryFile(const std::string& absolute, std::string& failure) {
  HMODULE library = ::LoadLibraryExW(win32::WidePath(absolute).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) failure = absolute + ": " + win32::SystemMessage(::GetLastError());
  return reinterpret_cast<LibraryHandle>(library);
}

}  // namespace detail

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
  return win32::ModuleFilePath(module);
}

}  // namespace zk
