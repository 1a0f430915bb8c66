#include "platform/Console.h"

#include <unistd.h>

namespace zk {

bool IsTerminal(std::FILE* file) { return file != nullptr && ::isatty(::fileno(file)) == 1; }

void WriteStandardError(std::string_view text) {
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace zk
