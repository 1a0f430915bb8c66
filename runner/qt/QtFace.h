#pragma once
// Runs the program with its Qt face: the script with message boxes and the
// status window, or without a script the empty frame until it is closed.
#include <optional>
#include <string>

namespace zk::runner {

int RunQtFace(int argc, char** argv, const std::optional<std::string>& script);

// Whether this build has the Qt face (a build without Qt has the console
// face only, and its RunQtFace says so).
bool HasWindowFace();

}  // namespace zk::runner
