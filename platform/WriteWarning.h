#pragma once
// A settings file the programs could not write (the user's copy of a module
// description in a folder that is not the user's, say) is reported in a warning box naming it, once:
// until a write to that file succeeds again, further failures stay quiet, so
// that one dialog that writes several keys shows one warning.
#include "platform/Api.h"

#include <string>
#include <string_view>

namespace zk {

ZK_PLATFORM_API std::string WriteFailedText(std::string_view path);

// Reports a failed write of path as described above, naming the file the
// write went to (settings::WrittenFile); returns written.
ZK_PLATFORM_API bool ReportWrite(bool written, const std::string& path);

}  // namespace zk
