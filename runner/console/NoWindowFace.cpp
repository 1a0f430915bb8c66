// The window face of a build without Qt: there is none.
#include "runner/ScriptRunner.h"
#include "runner/qt/QtFace.h"

#include <cstdio>

namespace zk::runner {

bool HasWindowFace() { return false; }

int RunQtFace(int, char**, const std::optional<std::string>&) {
  std::fputs("Quillrun: this build has the console face only (use --console)\n", stderr);
  return static_cast<int>(ExitCode::kScriptNotRead);
}

}  // namespace zk::runner
