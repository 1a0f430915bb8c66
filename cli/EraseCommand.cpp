// zelkor erase SECTOR [LAST] | --chip.
#include "cli/Commands.h"
#include "cli/EraseSteps.h"
#include "cli/SectorTable.h"

namespace zk::cli {

int RunErase(const Options& options, Reporter& reporter) {
  Session session(options, reporter);
  if (const ExitCode code = session.Connect(); code != ExitCode::kDone) return session.Finish(code);
  if (options.chip) return session.Finish(EraseChip(session));
  SectorTable table;
  if (const ExitCode code = ReadSectorTable(session, &table); code != ExitCode::kDone) return session.Finish(code);
  if (options.lastSector >= table.sectors.size()) {
    const std::string text = "erase: sector " + std::to_string(options.lastSector) +
                             " does not exist; the module has sectors 0 to " + std::to_string(table.sectors.size() - 1);
    session.Remember(text);
    reporter.Error(text);
    return session.Finish(ExitCode::kUsage);
  }
  std::vector<EraseRange> ranges;
  for (uint32_t n = options.firstSector; n <= options.lastSector; ++n) {
    const SectorRow& row = table.sectors[n];
    ranges.push_back({row.bank, row.start, row.end});
  }
  return session.Finish(EraseRanges(session, ranges));
}

}  // namespace zk::cli
