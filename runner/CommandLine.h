#pragma once
// The runner's command line: options, then the script path (the first
// argument that is not an option).
#include <optional>
#include <string>

namespace zk::runner {

enum class Face { kAuto, kConsole, kGui };

struct CommandLine {
  Face face = Face::kAuto;
  bool help = false;
  bool version = false;
  bool listPorts = false;
  std::optional<std::string> script;
  std::optional<std::string> error;  // an option the runner does not know
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// Whether a display is really there (an X server or a Wayland compositor
// that accepts a connection): the window face is then the default.
bool DisplayAvailable();
// Whether the window face can run when asked for with --gui: a display is
// there, or the environment chose a platform plugin (such as offscreen).
bool WindowFaceUsable();

extern const char* const kUsage;

}  // namespace zk::runner
