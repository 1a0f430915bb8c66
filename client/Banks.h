#pragma once
// The 64-KB banks of the address space: a HEX image downloaded to bank n is
// offset by n x kBankSize.
#include <cstdint>

namespace zk::client {

inline constexpr uint32_t kBankSize = 0x10000;
// Banks whose offset fits 32 bits: 0 .. kBankLimit - 1.
inline constexpr uint32_t kBankLimit = 0x10000;

constexpr bool BankFits(uint64_t bank) { return bank < kBankLimit; }
// The offset of a bank that fits.
constexpr uint32_t BankOffset(uint32_t bank) { return bank * kBankSize; }

}  // namespace zk::client
