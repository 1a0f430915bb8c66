#include "platform/Console.h"

#include "platform/win32/Windows.h"

#include <io.h>

namespace zk {

bool IsTerminal(std::FILE* file) { return file != nullptr && ::_isatty(::_fileno(file)) != 0; }

void WriteStandardError(std::string_view text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace zk
