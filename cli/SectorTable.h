#pragma once
// The sectors of every bank of the connected module, numbered from 0 in
// bank order, within a bank in block and address order: the numbers that
// `info` shows and `erase` takes.
#include "cli/Session.h"

#include <cstdint>
#include <vector>

namespace zk::cli {

struct SectorRow {
  uint32_t number = 0;
  int bank = 0;
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
  bool isProtected = false;
  bool noAccess = false;
};

struct BankFlash {
  int bank = 0;
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t flashId = 0;
  uint32_t flashSize = 0;
};

struct SectorTable {
  std::vector<BankFlash> banks;
  std::vector<SectorRow> sectors;
};

// kDone with the table, or the failure (reported).
ExitCode ReadSectorTable(Session& session, SectorTable* table);
// Makes bank the one the data manager works on.
void SelectBank(Session& session, int bank);

}  // namespace zk::cli
