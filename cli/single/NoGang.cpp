// The gang of a build whose platform has no child processes yet: several
// ports are refused with a usage error.
#include "cli/Commands.h"
#include "cli/ExitCode.h"

namespace zk::cli {

int RunGang(const Options&, Reporter& reporter) {
  reporter.Error("this build programs one port at a time: run zelkor flash once per --port");
  return static_cast<int>(ExitCode::kUsage);
}

}  // namespace zk::cli
