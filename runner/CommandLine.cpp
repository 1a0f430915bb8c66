#include "runner/CommandLine.h"

#include "platform/Display.h"

#include <cstdlib>
#include <string_view>

namespace zk::runner {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

const char* const kUsage =
    "Usage: Quillrun [--console | --gui] [SCRIPT]\n"
    "       Quillrun --list-ports | --help | --version\n"
    "\n"
    "Runs the flashing commands of SCRIPT against the data manager, stopping at\n"
    "the first command that fails. Without SCRIPT the window face shows an empty\n"
    "frame.\n"
    "\n"
    "  --console     messages on standard error, progress as a line, Ctrl-C cancels\n"
    "                (the default without a display that can be reached)\n"
    "  --gui         message boxes and the status window (the default with a display)\n"
    "  --list-ports  the COM ports that name a device, with their stable names in\n"
    "                /dev/serial/by-id, and the stable names no port names\n"
    "  -h, --help    this text\n"
    "  --version     the version\n"
    "\n"
    "COMn is the device named by $ZELKOR_COMn, else by value COMn of the user's\n"
    "Software\\Korvane\\Zelkor\\Ports (~/.config/zelkor/user.reg), else by COMn in\n"
    "[Ports] of Zelkor.ini, else /dev/ttyS<n-1>. See quillrun(1).\n"
    "\n"
    "Exit code: 0 the script ran to its end, 1 a command failed, 2 the script\n"
    "could not be opened.\n";

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnd && arg.size() > 1 && arg.front() == '-') {
      if (arg == "--") {
        optionsEnd = true;
      } else if (arg == "--console") {
        line.face = Face::kConsole;
      } else if (arg == "--gui") {
        line.face = Face::kGui;
      } else if (arg == "-h" || arg == "--help") {
        line.help = true;
      } else if (arg == "--version") {
        line.version = true;
      } else if (arg == "--list-ports") {
        line.listPorts = true;
      } else if (!line.error) {
        line.error = std::string(arg);
      }
      continue;
    }
    if (!line.script) line.script = std::string(arg);
  }
  return line;
}

bool DisplayAvailable() { return DisplayReachable(); }

bool WindowFaceUsable() { return Set("QT_QPA_PLATFORM") || DisplayAvailable(); }

}  // namespace zk::runner
