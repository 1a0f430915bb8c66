#include "cli/SectorTable.h"

#include "client/HandedOut.h"
#include "client/ModuleBanks.h"
#include "common/IniFileAccess.h"

namespace zk::cli {
namespace {

bool Touches(const AddressRange* areas, uint16_t count, uint32_t start, uint32_t end) {
  for (uint16_t i = 0; areas != nullptr && i < count; ++i) {
    if (areas[i].start <= end && start <= areas[i].end) return true;
  }
  return false;
}

}  // namespace

void SelectBank(Session& session, int bank) {
  SetBankBase(session.Dm(), IniFileAccess(session.ModulePath()), bank);
}

ExitCode ReadSectorTable(Session& session, SectorTable* table) {
  CDmAccess& dm = session.Dm();
  ProtectedAreas areas{};
  if (const ResultCode code = dm.GetProtectedAreas(&areas); code != kOk) return session.Fail("protected areas", code);
  const IniFileAccess module(session.ModulePath());
  const int banks = BankCount(module);
  ExitCode result = ExitCode::kDone;
  for (int bank = 0; bank < banks && result == ExitCode::kDone; ++bank) {
    SelectBank(session, bank);
    SectorInfos infos{};
    if (const ResultCode code = dm.GetSectorInfos(nullptr, &infos); code != kOk) {
      result = session.Fail("sector layout of bank " + std::to_string(bank), code);
      break;
    }
    table->banks.push_back({bank, BankStart(module, bank), BankEnd(module, bank), infos.flashId, infos.flashSize});
    for (uint16_t b = 0; infos.blocks != nullptr && b < infos.blockCount; ++b) {
      const FlashBlock block = infos.blocks[b];
      for (uint32_t k = 0; k < block.sectorCount; ++k) {
        SectorRow row;
        row.number = static_cast<uint32_t>(table->sectors.size());
        row.bank = bank;
        row.start = block.start + k * block.sectorSize;
        row.end = row.start + block.sectorSize - 1;
        row.isProtected = Touches(areas.protectedAreas, areas.protectedCount, row.start, row.end);
        row.noAccess = Touches(areas.noAccessAreas, areas.noAccessCount, row.start, row.end);
        table->sectors.push_back(row);
      }
    }
    client::GiveBack(dm, infos.blocks);
  }
  client::GiveBack(dm, areas);
  return result;
}

}  // namespace zk::cli
