#pragma once
// Strict parsing of the simulator's own option and configuration values:
// a value is the whole text, decimal or 0x hexadecimal; anything else is an
// error for the caller to report.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::modsim {

std::string_view Trim(std::string_view text);

// Decimal digits, or 0x/0X and hexadecimal digits; surrounding blanks allowed.
std::optional<uint64_t> ParseNumber(std::string_view text);
std::optional<uint32_t> ParseU32(std::string_view text);
// A probability: a decimal fraction in [0, 1].
std::optional<double> ParseProbability(std::string_view text);

// Pieces between separators, trimmed, empty pieces skipped.
std::vector<std::string_view> SplitList(std::string_view text, char separator = ',');

std::string HexBytes(const uint8_t* data, std::size_t size, std::size_t limit);

}  // namespace zk::modsim
