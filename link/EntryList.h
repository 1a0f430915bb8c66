#pragma once
// The port and rate lists of the settings: texts split at blanks and
// commas into entries of at most 9 characters, at most 254 of them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zk::link {

inline constexpr std::size_t kEntryChars = 9;
inline constexpr std::size_t kMaxEntries = 254;

using EntryList = std::vector<std::string>;

// Replaces list with the entries of text; a text without entries leaves it
// as it was. A piece longer than an entry holds is left out, so that a
// shortened name never stands for another port or rate.
void ParseEntryList(std::string_view text, EntryList& list);

// The leading decimal digits of text as a number: 0 without digits,
// 0xFFFFFFFF when it does not fit 32 bits.
uint32_t LeadingDecimal(std::string_view text);

}  // namespace zk::link
