#include "modsim/Numbers.h"

#include <cstdio>
#include <cstdlib>

namespace zk::modsim {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<uint64_t> ParseNumber(std::string_view text) {
  text = Trim(text);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    const uint64_t next = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (next / static_cast<uint64_t>(base) != value) return std::nullopt;  // overflow
    value = next;
  }
  return value;
}

std::optional<uint32_t> ParseU32(std::string_view text) {
  const auto value = ParseNumber(text);
  if (!value || *value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

std::optional<double> ParseProbability(std::string_view text) {
  const std::string copy(Trim(text));
  if (copy.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !(value >= 0.0 && value <= 1.0)) return std::nullopt;
  return value;
}

std::vector<std::string_view> SplitList(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    const auto cut = text.find(separator);
    const auto piece = Trim(text.substr(0, cut));
    if (!piece.empty()) pieces.push_back(piece);
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
  }
  return pieces;
}

std::string HexBytes(const uint8_t* data, std::size_t size, std::size_t limit) {
  std::string out;
  const std::size_t shown = size < limit ? size : limit;
  out.reserve(shown * 3 + 8);
  char buffer[4];
  for (std::size_t i = 0; i < shown; ++i) {
    std::snprintf(buffer, sizeof buffer, i == 0 ? "%02X" : " %02X", data[i]);
    out += buffer;
  }
  if (shown < size) out += " ...";
  return out;
}

}  // namespace zk::modsim
