#include "client/FlashTable.h"

#include <algorithm>

namespace zk::client {
namespace {

bool Touches(const std::vector<AddressRange>& areas, uint32_t start, uint32_t end) {
  return std::any_of(areas.begin(), areas.end(),
                     [&](const AddressRange& a) { return a.start <= end && start <= a.end; });
}

}  // namespace

void FlashTable::NumberSectors() {
  sectors.clear();
  for (const BankRow& bank : banks) {
    for (const FlashBlock& block : bank.blocks) {
      for (uint32_t k = 0; k < block.sectorCount; ++k) {
        SectorRow row;
        row.number = static_cast<uint32_t>(sectors.size());
        row.bank = bank.bank;
        row.start = block.start + k * block.sectorSize;
        row.end = row.start + block.sectorSize - 1;
        row.isProtected = Touches(protectedAreas, row.start, row.end);
        row.noAccess = Touches(noAccessAreas, row.start, row.end);
        sectors.push_back(row);
      }
    }
  }
}

std::optional<int> FlashTable::BankHolding(uint64_t address) const {
  for (const BankRow& bank : banks) {
    if (address >= bank.start && address <= bank.end) return bank.bank;
  }
  return std::nullopt;
}

bool FlashTable::InsideBanks(uint64_t first, uint64_t last) const {
  // Banks may lie side by side: walk from bank to bank until last is covered.
  uint64_t next = first;
  while (next <= last) {
    const std::optional<int> bank = BankHolding(next);
    if (!bank) return false;
    const auto it = std::find_if(banks.begin(), banks.end(), [&](const BankRow& b) { return b.bank == *bank; });
    next = uint64_t{it->end} + 1;
  }
  return true;
}

std::string FlashTable::SectorSpanText() const {
  if (sectors.empty()) return "no sectors";
  return "sectors 0 to " + std::to_string(sectors.size() - 1);
}

}  // namespace zk::client
