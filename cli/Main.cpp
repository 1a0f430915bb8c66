// zelkor: the command line of the flash-programming toolchain.
#include "ZkVersion.h"
#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "platform/Trace.h"

#include <cstdio>

int main(int argc, char** argv) {
  using namespace zk::cli;
  Options options = ParseOptions(argc, argv);
  if (options.version) {
    std::fputs(zk::VersionText("zelkor").c_str(), stdout);
    return Code(ExitCode::kDone);
  }
  if (options.help) {
    std::fputs(HelpText(options.command), stdout);
    return Code(ExitCode::kDone);
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "zelkor: %s\n%s", options.error.c_str(), HelpText(options.command));
    return Code(ExitCode::kUsage);
  }
  // -vv: the wire trace on standard error, unless --trace names a file.
  if (options.veryVerbose && !options.trace) options.trace = std::string();
  if (options.trace && !zk::trace::Start(*options.trace)) {
    std::fprintf(stderr, "zelkor: cannot write the trace %s\n", options.trace->c_str());
    return Code(ExitCode::kUsage);
  }
  InstallCancelHandler();
  Reporter reporter(ChooseMode(options.json), options.quiet, options.verbose);
  switch (options.command) {
    case Subcommand::kModules: return RunModules(options, reporter);
    case Subcommand::kPorts: return RunPorts(options, reporter);
    case Subcommand::kInfo: return RunInfo(options, reporter);
    case Subcommand::kFlash: return options.ports.size() > 1 ? RunGang(options, reporter) : RunFlash(options, reporter);
    case Subcommand::kRead: return RunRead(options, reporter);
    case Subcommand::kErase: return RunErase(options, reporter);
    case Subcommand::kNone: break;
  }
  return Code(ExitCode::kUsage);
}
