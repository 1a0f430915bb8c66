#pragma once
// The flash banks: the 64-KB banks of the address space (a HEX image
// downloaded to bank n is offset by n x kBankSize), and the banks of a module
// description ([FlashConfig]), where bank 0 uses the plain key names
// (FlashStart) and bank n the names with n (FlashStart1).
#include "client/DmAccess.h"
#include "common/IniFileAccess.h"

#include <cstdint>
#include <string>

namespace zk::client {

inline constexpr uint32_t kBankSize = 0x10000;
// Banks whose offset fits 32 bits: 0 .. kBankLimit - 1.
inline constexpr uint32_t kBankLimit = 0x10000;

constexpr bool BankFits(uint64_t bank) { return bank < kBankLimit; }
// The offset of a bank that fits.
constexpr uint32_t BankOffset(uint32_t bank) { return bank * kBankSize; }

// FlashBanks; absent, 255 or not positive means 1 bank; at most kMaxBanks.
int BankCount(const IniFileAccess& module);
// FlashStart of the bank as a number (-1 when absent) and as written.
uint32_t BankStart(const IniFileAccess& module, int bank);
std::string BankStartText(const IniFileAccess& module, int bank);
// FlashEnd of the bank, -1 when absent.
uint32_t BankEnd(const IniFileAccess& module, int bank);
// The bus mode text of the bank, its own FlashMode<n> only (bank 0:
// FlashMode); empty when the bank has none.
std::string BankModeText(const IniFileAccess& module, int bank);
// The bank's flash mode as a byte (255 when absent).
uint8_t BankMode(const IniFileAccess& module, int bank);
// Makes bank the one the data manager works on: DmSetFlashBaseAddress with
// the bank's start and flash mode.
void SetBankBase(CDmAccess& dm, const IniFileAccess& module, int bank);

}  // namespace zk::client
