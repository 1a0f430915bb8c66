#pragma once
// The file a loaded module (or, for null, the program) was loaded from.
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <string>

namespace zk::win32 {

// Empty when the system cannot tell.
inline std::string ModuleFilePath(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace zk::win32
