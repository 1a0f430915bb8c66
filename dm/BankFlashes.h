#pragma once
// The banks of the module description and the flash chip selected for each:
// a module may carry a different chip in every bank, and the layout of a
// bank is that of its own chip.
#include "common/Records.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zk::dm {

struct BankSearch {
  std::optional<int> bank;  // the bank found
  bool incomplete = false;  // a bank before the match has no FlashStart
};

// The bank among the first FlashBanks (255: one) whose FlashStart is address.
BankSearch FindBankStartingAt(const std::string& modulePath, uint32_t address);

// Remembers flash as the chip of the bank starting at flashStart.
void RememberBankFlash(uint32_t flashStart, const FlashLibInfo& flash);

// The chip selected for the current bank; the current flash when none was.
FlashLibInfo FlashOfCurrentBank();

}  // namespace zk::dm
