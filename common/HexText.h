#pragma once
// The hex text rule for address values in INI files and input fields: the
// part after the first lower-case 'x' if there is one, read as hexadecimal
// digits (0-9, A-F, a-f); any other character gives kInvalidHexValue. An
// empty text gives 0. Digits beyond 32 bits shift the high ones out.
#include <cstdint>
#include <string_view>

namespace zk {

inline constexpr uint32_t kInvalidHexValue = 0xFFFFFFFFu;

// The value of a hexadecimal digit (0-9, A-F, a-f), -1 for any other
// character.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint32_t HexTextToValue(std::string_view text);

// The digits alone, without looking for an 'x'.
uint32_t HexDigitsValue(std::string_view digits);

}  // namespace zk
