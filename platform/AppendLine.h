#pragma once
// Appending one line to a log file so that the file only ever holds whole
// lines: the line goes out in a single write to a file opened for
// appending, so that it is in the file the moment the call returns (a
// process that dies right after loses nothing) and lines of several
// writers never interleave.
#include "platform/Api.h"

#include <string>
#include <string_view>

namespace zk::files {

// Appends line and a line end to the file at path, created (mode 0644 less
// the umask) when missing. false when it could not be written whole; a part
// that was written is taken back.
ZK_PLATFORM_API bool AppendLine(const std::string& path, std::string_view line);

}  // namespace zk::files
