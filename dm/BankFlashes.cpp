#include "dm/BankFlashes.h"

#include "common/IniFileAccess.h"
#include "dm/HexValue.h"
#include "dm/State.h"
#include "platform/Ini.h"

namespace zk::dm {
namespace {

constexpr int32_t kBanksAbsent = 255;
constexpr std::size_t kBankStartBuffer = 255;

}  // namespace

BankSearch FindBankStartingAt(const std::string& modulePath, uint32_t address) {
  int banks = ini::GetInt(modulePath, "FlashConfig", "FlashBanks", kBanksAbsent) & 0xFF;
  if (banks == kBanksAbsent) banks = 1;
  for (int bank = 0; bank < banks; ++bank) {
    const std::string start =
        ini::GetString(modulePath, "FlashConfig", BankKey("FlashStart", bank), "", kBankStartBuffer);
    if (start.empty()) return {std::nullopt, true};
    if (HexValue(start) == address) return {bank, false};
  }
  return {};
}

void RememberBankFlash(uint32_t flashStart, const FlashLibInfo& flash) {
  DmState& state = State();
  if (const std::optional<int> bank = FindBankStartingAt(state.modulePath, flashStart).bank) {
    state.bankFlashes[*bank] = flash;
  }
}

FlashLibInfo FlashOfCurrentBank() {
  const DmState& state = State();
  const auto chosen = state.bankFlashes.find(state.currentBank);
  return chosen != state.bankFlashes.end() ? chosen->second : state.currentFlash;
}

}  // namespace zk::dm
