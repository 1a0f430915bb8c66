#pragma once
// --help and --version of the workbench, answered before Qt starts, so that
// they need no display.
#include "ZkVersion.h"

#include <cstdio>
#include <optional>
#include <string_view>

namespace zk::gui {

inline constexpr char kUsage[] =
    "Usage: ZelkorGui [Qt options]\n"
    "\n"
    "The workbench: pick a module from the module tree, connect to it over its\n"
    "serial port, see its flash layout, erase, program and read back its flash.\n"
    "\n"
    "  -h, --help  this text\n"
    "  --version   the version\n"
    "\n"
    "COMn of a module description is the device named by $ZELKOR_COMn, else by\n"
    "the user hive or [Ports] of Zelkor.ini (see Quillrun --list-ports and\n"
    "zelkor-gui(1)).\n";

// The exit code when the command line asks for the help or the version
// (printed to standard output); nullopt otherwise.
inline std::optional<int> AnswerInfoOptions(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::fputs(VersionText("ZelkorGui").c_str(), stdout);
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace zk::gui
