#include "platform/OpenFile.h"

#include "platform/win32/Wide.h"

namespace zk::files {

// The path is UTF-8; a directory cannot be opened as a file on Windows.
std::FILE* OpenForReading(const std::string& path) { return ::_wfopen(win32::WidePath(path).c_str(), L"r"); }

}  // namespace zk::files
