#pragma once
// The subcommands of zelkor; each returns the program's exit code.
#include "cli/Options.h"
#include "cli/Reporter.h"

namespace zk::cli {

int RunModules(const Options& options, Reporter& reporter);
int RunPorts(const Options& options, Reporter& reporter);
int RunInfo(const Options& options, Reporter& reporter);
int RunFlash(const Options& options, Reporter& reporter);
int RunRead(const Options& options, Reporter& reporter);
int RunErase(const Options& options, Reporter& reporter);
// flash with more than one port: one child zelkor per port.
int RunGang(const Options& options, Reporter& reporter);

}  // namespace zk::cli
