#pragma once
// The hex digits of text records (Intel HEX, S-record) turned into bytes
// through a table of nibble values: one table lookup per character, and one
// test per record rather than one per digit.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zk::dm {

inline constexpr uint8_t kInvalidNibble = 0x10;

using NibbleTable = std::array<uint8_t, 256>;

constexpr NibbleTable MakeNibbles(bool lowerCase) {
  NibbleTable table{};
  for (auto& v : table) v = kInvalidNibble;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<uint8_t>(c - 'A' + 10);
  if (lowerCase) {
    for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<uint8_t>(c - 'a' + 10);
  }
  return table;
}

inline constexpr NibbleTable kUpperCaseNibbles = MakeNibbles(false);
inline constexpr NibbleTable kEitherCaseNibbles = MakeNibbles(true);

// Decodes count bytes from 2 * count characters at text; false when one of
// them is no digit of nibbles.
inline bool DecodeHexDigits(const NibbleTable& nibbles, const uint8_t* text, std::size_t count, uint8_t* out) {
  unsigned bad = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned high = nibbles[text[2 * i]];
    const unsigned low = nibbles[text[2 * i + 1]];
    bad |= high | low;
    out[i] = static_cast<uint8_t>((high << 4) | (low & 0x0F));
  }
  return (bad & kInvalidNibble) == 0;
}

}  // namespace zk::dm
