// Quillrun: runs a script of flashing commands against the data manager.
#include "ZkVersion.h"
#include "client/PortListing.h"
#include "platform/PortList.h"
#include "platform/Signals.h"
#include "runner/CommandLine.h"
#include "runner/ConsoleUi.h"
#include "runner/ScriptRunner.h"
#include "runner/qt/QtFace.h"

#include <cstdio>

namespace {

using zk::runner::ExitCode;

int RunConsole(const std::string& script) {
  zk::runner::ConsoleUi ui(stderr, stdin);
  ui.Install();
  zk::runner::CScriptRunner runner(ui, false);
  return static_cast<int>(runner.Run(script));
}

}  // namespace

int main(int argc, char** argv) {
  zk::IgnoreBrokenPipes();
  const zk::runner::CommandLine line = zk::runner::ParseCommandLine(argc, argv);
  if (line.help) {
    std::fputs(zk::runner::kUsage, stdout);
    return static_cast<int>(ExitCode::kCompleted);
  }
  if (line.version) {
    std::fputs(zk::VersionText("Quillrun").c_str(), stdout);
    return static_cast<int>(ExitCode::kCompleted);
  }
  if (line.listPorts) {
    std::fputs(zk::client::FormatPortListing(zk::com::ListPorts()).c_str(), stdout);
    return static_cast<int>(ExitCode::kCompleted);
  }
  if (line.error) {
    std::fprintf(stderr, "Quillrun: unknown option %s\n%s", line.error->c_str(), zk::runner::kUsage);
    return static_cast<int>(ExitCode::kScriptNotRead);
  }
  const bool console =
      line.face == zk::runner::Face::kConsole ||
      (line.face == zk::runner::Face::kAuto && (!zk::runner::HasWindowFace() || !zk::runner::DisplayAvailable()));
  if (!console) {
    if (!zk::runner::WindowFaceUsable()) {
      std::fputs("Quillrun: no display for the window face (use --console)\n", stderr);
      return static_cast<int>(ExitCode::kScriptNotRead);
    }
    return zk::runner::RunQtFace(argc, argv, line.script);
  }
  if (!line.script) {
    std::fputs(zk::runner::kUsage, stderr);
    return static_cast<int>(ExitCode::kScriptNotRead);
  }
  return RunConsole(*line.script);
}
