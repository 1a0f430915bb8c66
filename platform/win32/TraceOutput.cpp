#include "platform/TraceOutput.h"

#include "platform/win32/ErrnoOf.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <cerrno>

namespace zk::trace::detail {
namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

void WriteAll(HANDLE file, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) == 0 || written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

}  // namespace

Output::Output(const std::string& path) {
  HANDLE file = nullptr;
  if (path.empty()) {
    file = ::GetStdHandle(STD_ERROR_HANDLE);
  } else {
    file = ::CreateFileW(win32::WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    owned_ = true;
    if (file == INVALID_HANDLE_VALUE) errno = win32::ErrnoOf(::GetLastError());
  }
  valid_ = file != nullptr && file != INVALID_HANDLE_VALUE;
  handle_ = reinterpret_cast<intptr_t>(file);
}

Output::~Output() {
  if (owned_ && valid_) ::CloseHandle(AsHandle(handle_));
}

// One buffer, so that lines of several processes sharing standard error do
// not mix.
void Output::Write(std::string_view first, std::string_view second, std::string_view third) {
  if (!valid_) return;
  std::string line;
  line.reserve(first.size() + second.size() + third.size());
  line.append(first).append(second).append(third);
  WriteAll(AsHandle(handle_), line);
}

long ProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

}  // namespace zk::trace::detail
