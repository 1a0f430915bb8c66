// zelkor erase SECTOR [LAST] | --chip.
#include "cli/Commands.h"
#include "cli/ModuleConnection.h"

namespace zk::cli {

int RunErase(const Options& options, Reporter& reporter) {
  ModuleConnection connection(options, reporter);
  if (const ExitCode code = connection.Connect(); code != ExitCode::kDone) return connection.Finish(code);
  client::ModuleFlow& flow = connection.Flow();
  if (options.chip) return connection.Finish(connection.Check(flow.EraseChip()));
  client::FlowResult result = flow.EraseSectorNumbers(options.firstSector, options.lastSector);
  if (result.end == client::FlowEnd::kRefused) result.what = "erase";
  return connection.Finish(connection.Check(result));
}

}  // namespace zk::cli
