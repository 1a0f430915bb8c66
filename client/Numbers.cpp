#include "client/Numbers.h"

#include <charconv>

namespace zk::client {

std::optional<uint32_t> ParseNumber(std::string_view text, BareDigits bare) {
  uint64_t unit = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = 1024;
  if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024;
  if (unit != 1) text.remove_suffix(1);
  int base = bare == BareDigits::kHex ? 16 : 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  // from_chars takes no sign, prefix or blank: the digits must be all.
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value > 0xFFFFFFFFull / unit) return std::nullopt;
  return static_cast<uint32_t>(value * unit);
}

std::string_view NumberForms(BareDigits bare) {
  if (bare == BareDigits::kHex) {
    return "hexadecimal (1F000 or 0x1F000), or with K or M for KiB or MiB (7CK, 1M), at most 32 bits";
  }
  return "decimal (126976), hexadecimal with 0x (0x1F000), or either with K or M for KiB or MiB (124K, 0x10K, "
         "1M), at most 32 bits";
}

}  // namespace zk::client
