#pragma once
// The flash of a connected module as every program shows it: each bank
// with the chip selected for it and that chip's layout, and the sectors of
// all banks numbered from 0 in bank order, within a bank in block and
// address order.
#include "common/DmRecords.h"
#include "common/Records.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zk::client {

struct BankRow {
  int bank = 0;
  uint32_t start = 0;
  uint32_t end = 0;        // inclusive, as the module description says
  std::string startText;   // FlashStart as written
  uint8_t mode = 0xFF;     // the bus mode byte, 255 when absent
  FlashLibInfo library{};  // the flash library selected for the bank
  // The bank chip's layout (DmGetSectorInfos after the bank was made the
  // current one); layoutCode is its result.
  ResultCode layoutCode = kOk;
  uint32_t flashId = 0;
  uint32_t flashSize = 0;  // kilobytes
  std::vector<FlashBlock> blocks;
};

struct SectorRow {
  uint32_t number = 0;
  int bank = 0;
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
  bool isProtected = false;
  bool noAccess = false;
};

// A stretch of one bank, both ends inclusive; unit is the third value of
// the data manager's range (the sector size of a needed sector; for a
// status, the size each entry stands for; 0: not given).
struct BankRange {
  int bank = 0;
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t unit = 0;
};

struct FlashTable {
  std::vector<BankRow> banks;
  std::vector<SectorRow> sectors;
  std::vector<AddressRange> protectedAreas;
  std::vector<AddressRange> noAccessAreas;

  // Numbers the sectors of every bank's layout and marks those an area
  // touches.
  void NumberSectors();
  // The bank whose range holds address, if any.
  std::optional<int> BankHolding(uint64_t address) const;
  // Whether every byte of [first, last] lies in some bank.
  bool InsideBanks(uint64_t first, uint64_t last) const;
  // "sectors 0 to 14" (or "no sectors") for messages.
  std::string SectorSpanText() const;
};

}  // namespace zk::client
