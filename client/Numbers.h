#pragma once
// The one rule for the numbers of zelkor's command line and Quillrun's
// scripts: decimal (4096), hexadecimal with 0x (0x1000), and either with K
// or M for KiB or MiB (64K, 0x10K, 1M). Where the program's own tradition
// reads bare digits as hexadecimal (Quillrun's addresses), the digits
// without a prefix are hexadecimal instead.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zk::client {

enum class BareDigits : uint8_t { kDecimal, kHex };

// The value, at most 32 bits; nullopt for anything else.
std::optional<uint32_t> ParseNumber(std::string_view text, BareDigits bare = BareDigits::kDecimal);

// The forms ParseNumber accepts, for a refusal.
std::string_view NumberForms(BareDigits bare = BareDigits::kDecimal);

}  // namespace zk::client
