#pragma once
// The flash banks of the module description and the mapping of an address
// range onto them.
#include <cstdint>
#include <string>

namespace zk::cmd {

enum class BankOutcome {
  NotInFlash,  // the range starts in no bank (or ends at a bank's first byte)
  InsideBank,  // wholly inside one bank; its base address has been set
  Clipped,     // starts in a bank and runs past its end: end was lowered
};

// Banks read at most; a description with more is treated as ending there.
inline constexpr int kMaxBanks = 256;

// Maps [start, end] onto the banks; end is lowered when the range is
// clipped. Inside one bank the module is given that bank's base address.
BankOutcome MapToBank(const std::string& modulePath, uint32_t start, uint32_t& end);

// The mode byte of the bank whose start is flashStart (0xFF when none).
uint8_t BankModeOf(const std::string& modulePath, uint32_t flashStart);

}  // namespace zk::cmd
