#include "gui/download/BankOffsets.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace zk::gui {
namespace {

constexpr std::string_view kBankPrefix = "Bank ";

bool CoversBank(const AddressRange& area, uint32_t bank) {
  const uint64_t start = static_cast<uint64_t>(bank) * kBankSize;
  return area.start == start && area.end == start + kBankSize - 1;
}

}  // namespace

std::vector<uint32_t> OfferedBanks(uint32_t flashSizeKb, std::span<const AddressRange> protectedAreas,
                                   bool allowProtected) {
  const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(flashSizeKb) * 1024 / kBankSize, client::kBankLimit);
  std::vector<uint32_t> banks;
  for (uint32_t bank = 0; bank < count; ++bank) {
    const bool covered = std::any_of(protectedAreas.begin(), protectedAreas.end(),
                                     [bank](const AddressRange& area) { return CoversBank(area, bank); });
    if (!covered || allowProtected) banks.push_back(bank);
  }
  return banks;
}

std::string BankEntryText(uint32_t bank) { return std::string(kBankPrefix) + std::to_string(bank); }

std::optional<uint32_t> BankOfEntry(std::string_view text) {
  if (!text.starts_with(kBankPrefix)) return std::nullopt;
  text.remove_prefix(kBankPrefix.size());
  uint32_t bank = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bank);
  if (error != std::errc() || end != text.data() + text.size() || !client::BankFits(bank)) return std::nullopt;
  return bank;
}

std::string MappedAddressText(uint32_t bank) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(static_cast<uint64_t>(bank) * kBankSize));
  return text;
}

}  // namespace zk::gui
