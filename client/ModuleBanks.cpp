#include "client/ModuleBanks.h"

#include "platform/Ini.h"

namespace zk::client {
namespace {

constexpr std::string_view kFlashConfig = "FlashConfig";
constexpr int32_t kBanksAbsent = 255;
constexpr std::size_t kTextBuffer = 100;

std::string Value(const IniFileAccess& module, const std::string& key) {
  return ini::GetString(module.Path(), kFlashConfig, key, "", kTextBuffer);
}

}  // namespace

int BankCount(const IniFileAccess& module) {
  const int32_t banks = ini::GetInt(module.Path(), kFlashConfig, "FlashBanks", kBanksAbsent);
  if (banks <= 0 || banks == kBanksAbsent) return 1;
  return banks > kMaxBanks ? kMaxBanks : banks;
}

uint32_t BankStart(const IniFileAccess& module, int bank) { return static_cast<uint32_t>(module.FlashStart(bank)); }

std::string BankStartText(const IniFileAccess& module, int bank) { return Value(module, BankKey("FlashStart", bank)); }

uint32_t BankEnd(const IniFileAccess& module, int bank) { return static_cast<uint32_t>(module.FlashEnd(bank)); }

std::string BankModeText(const IniFileAccess& module, int bank) { return Value(module, BankKey("FlashMode", bank)); }

void SetBankBase(CDmAccess& dm, const IniFileAccess& module, int bank) {
  BaseAddressRecord base{BankStart(module, bank), BankMode(module, bank)};
  dm.SetFlashBaseAddress(&base);
}

uint8_t BankMode(const IniFileAccess& module, int bank) {
  const std::string text = BankModeText(module, bank);
  return static_cast<uint8_t>(text.empty() ? 255 : ini::ParseInt(text));
}

}  // namespace zk::client
