#include "cli/EraseSteps.h"

#include "cli/SectorTable.h"
#include "client/HandedOut.h"
#include "client/ModuleBanks.h"
#include "common/IniFileAccess.h"

#include <cstdio>

namespace zk::cli {
namespace {

std::string RangeText(const EraseRange& range) {
  char text[64];
  std::snprintf(text, sizeof text, "0x%06X-0x%06X", range.start, range.end);
  return text;
}

}  // namespace

ExitCode EraseRanges(Session& session, const std::vector<EraseRange>& ranges) {
  uint64_t total = 0;
  for (const EraseRange& r : ranges) total += uint64_t{r.end} - r.start + 1;
  Reporter& reporter = session.Report();
  reporter.BeginPhase("erase", total);
  uint64_t done = 0;
  int bank = -1;
  for (const EraseRange& r : ranges) {
    if (r.bank != bank) SelectBank(session, bank = r.bank);
    reporter.Detail("erasing " + RangeText(r));
    RangeRequest request{r.start, r.end, 0};
    SectorList list{};
    WorkerThreadInfo thread{};
    const WaitOutcome outcome = session.Wait(session.Dm().EraseSectors(&request, &list, &thread), 0);
    client::GiveBack(session.Dm(), list);
    if (const ExitCode code = session.Check("erase " + RangeText(r), outcome); code != ExitCode::kDone) {
      reporter.EndPhase(false);
      return code;
    }
    done += uint64_t{r.end} - r.start + 1;
    reporter.Progress(done);
  }
  reporter.EndPhase(true);
  return ExitCode::kDone;
}

ExitCode EraseChip(Session& session) {
  const IniFileAccess module(session.ModulePath());
  const int banks = BankCount(module);
  uint64_t total = 0;
  for (int bank = 0; bank < banks; ++bank) total += uint64_t{BankEnd(module, bank)} - BankStart(module, bank) + 1;
  Reporter& reporter = session.Report();
  reporter.BeginPhase("erase", total);
  uint64_t done = 0;
  for (int bank = 0; bank < banks; ++bank) {
    SelectBank(session, bank);
    SectorList list{};
    const ResultCode code = session.Dm().EraseChip(&list);
    client::GiveBack(session.Dm(), list);
    if (code != kOk) {
      reporter.EndPhase(false);
      return session.Fail("erase chip, bank " + std::to_string(bank), code);
    }
    done += uint64_t{BankEnd(module, bank)} - BankStart(module, bank) + 1;
    reporter.Progress(done);
  }
  reporter.EndPhase(true);
  return ExitCode::kDone;
}

ExitCode FindNeededSectors(Session& session, uint32_t offset, NeededSectors* needed) {
  const int banks = BankCount(IniFileAccess(session.ModulePath()));
  for (int bank = 0; bank < banks; ++bank) {
    SelectBank(session, bank);
    HexFileInfo info{};
    if (const ResultCode code = session.Dm().GetHexFileInfo(offset, &info); code != kOk) {
      return session.Fail("image sectors of bank " + std::to_string(bank), code);
    }
    needed->downloadBytes = info.byteCount;
    for (uint32_t i = 0; info.neededSectors != nullptr && i < info.neededSectorCount; ++i) {
      needed->ranges.push_back({bank, info.neededSectors[i].start, info.neededSectors[i].end});
    }
    client::GiveBack(session.Dm(), info.neededSectors);
  }
  return ExitCode::kDone;
}

}  // namespace zk::cli
