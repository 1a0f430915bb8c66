#pragma once
// The bank offset list of the download page: one entry "Bank <n>" per
// 64-KB bank of the flash, leaving out a bank that a protected area covers
// exactly unless protected banks are allowed.
#include "client/ModuleBanks.h"
#include "common/DmRecords.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zk::gui {

using client::kBankSize;

// The banks offered for a flash of flashSizeKb kilobytes.
std::vector<uint32_t> OfferedBanks(uint32_t flashSizeKb, std::span<const AddressRange> protectedAreas,
                                   bool allowProtected);
std::string BankEntryText(uint32_t bank);
// The number after "Bank "; nullopt for any other text.
std::optional<uint32_t> BankOfEntry(std::string_view text);
// "0x" and the bank's address in upper-case hexadecimal without leading zeros.
std::string MappedAddressText(uint32_t bank);

}  // namespace zk::gui
