#include "link/EntryList.h"

#include <limits>

namespace zk::link {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

}  // namespace

void ParseEntryList(std::string_view text, EntryList& list) {
  EntryList parsed;
  std::size_t at = 0;
  while (at < text.size() && parsed.size() < kMaxEntries) {
    while (at < text.size() && IsSeparator(text[at])) ++at;
    const std::size_t start = at;
    while (at < text.size() && !IsSeparator(text[at])) ++at;
    const std::string_view piece = text.substr(start, at - start);
    if (!piece.empty() && piece.size() <= kEntryChars) parsed.emplace_back(piece);
  }
  if (!parsed.empty()) list = std::move(parsed);
}

uint32_t LeadingDecimal(std::string_view text) {
  constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max();
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kLimit) return static_cast<uint32_t>(kLimit);
  }
  return static_cast<uint32_t>(value);
}

}  // namespace zk::link
