#include "platform/AppendLine.h"

#include "platform/win32/Handle.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

namespace zk::files {

bool AppendLine(const std::string& path, std::string_view line) {
  win32::Handle file(::CreateFileW(win32::WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  std::string text(line);
  text.push_back('\n');
  LARGE_INTEGER before{};
  if (::SetFilePointerEx(file.get(), LARGE_INTEGER{}, &before, FILE_END) == 0) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (ok != 0 && written == text.size()) return file.Reset();
  // A full disk took part of a line: the file keeps whole lines only.
  if (written > 0 && ::SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN) != 0) {
    ::SetEndOfFile(file.get());
  }
  return false;
}

}  // namespace zk::files
