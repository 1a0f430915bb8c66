#pragma once
// The system's text of a Win32 (or Winsock) error code, without the line
// end; "error <code>" when the system has none.
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <string>

namespace zk::win32 {

inline std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length != 0 ? Narrow(std::wstring_view(text, length)) : std::string();
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace zk::win32
