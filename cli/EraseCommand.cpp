// zelkor erase SECTOR [LAST] | --chip.
#include "cli/Commands.h"
#include "cli/Session.h"

namespace zk::cli {

int RunErase(const Options& options, Reporter& reporter) {
  Session session(options, reporter);
  if (const ExitCode code = session.Connect(); code != ExitCode::kDone) return session.Finish(code);
  client::ModuleFlow& flow = session.Flow();
  if (options.chip) return session.Finish(session.Check(flow.EraseChip()));
  client::FlowResult result = flow.EraseSectorNumbers(options.firstSector, options.lastSector);
  if (result.end == client::FlowEnd::kRefused) result.what = "erase";
  return session.Finish(session.Check(result));
}

}  // namespace zk::cli
