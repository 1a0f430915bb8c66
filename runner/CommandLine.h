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

// Whether a display is there for the Qt face (X11, Wayland, or a platform
// plugin chosen by the environment, such as offscreen).
bool DisplayAvailable();

extern const char* const kUsage;

}  // namespace zk::runner
