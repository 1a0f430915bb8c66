#include "cmd/NonAccessAreas.h"

#include "common/HexText.h"
#include "common/IniFileAccess.h"
#include "platform/Ini.h"

#include <algorithm>

namespace zk::cmd {
namespace {

// More sections than this are not read (a description cannot sensibly hold more).
constexpr int32_t kMaxAreas = 1024;
constexpr uint32_t kInvalid = 0xFFFFFFFFu;

std::string_view TrimFront(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

}  // namespace

std::vector<AddressArea> ReadNonAccessAreas(const std::string& modulePath) {
  const IniFileAccess access(modulePath);
  int32_t count = access.NumberOfNonAccessAreas();
  if (count > kMaxAreas) count = kMaxAreas;
  std::vector<AddressArea> areas;
  for (int32_t n = 1; n <= count; ++n) {
    const std::string section = std::string(kNonAccessAreaPrefix) + std::to_string(n);
    areas.push_back({static_cast<uint32_t>(ini::GetInt(modulePath, section, "StartAddress", -1)),
                     static_cast<uint32_t>(ini::GetInt(modulePath, section, "EndAddress", -1))});
  }
  return areas;
}

std::vector<AddressArea> OpenPieces(const std::vector<AddressArea>& areas, uint32_t first, uint32_t last) {
  std::vector<AddressArea> covering;
  for (const AddressArea& area : areas) {
    if (area.start <= area.end && area.start <= last && area.end >= first) covering.push_back(area);
  }
  std::sort(covering.begin(), covering.end(),
            [](const AddressArea& a, const AddressArea& b) { return a.start < b.start; });
  std::vector<AddressArea> pieces;
  uint64_t next = first;  // the lowest address not yet known to be covered
  for (const AddressArea& area : covering) {
    if (area.start > next) pieces.push_back({static_cast<uint32_t>(next), area.start - 1});
    next = std::max<uint64_t>(next, uint64_t{area.end} + 1);
  }
  if (next <= last) pieces.push_back({static_cast<uint32_t>(next), last});
  return pieces;
}

std::optional<uint32_t> FirstAreaByte(const std::vector<AddressArea>& areas, uint32_t first, uint32_t last) {
  std::optional<uint32_t> lowest;
  for (const AddressArea& area : areas) {
    if (area.start > area.end || area.start > last || area.end < first) continue;
    const uint32_t from = std::max(area.start, first);
    if (!lowest || from < *lowest) lowest = from;
  }
  return lowest;
}

uint32_t AreaAddressValue(std::string_view text) {
  text = TrimFront(text);
  if (text.size() > 1) {
    if (const auto x = text.find('x', 1); x != std::string_view::npos) text.remove_prefix(x + 1);
  }
  return HexDigitsValue(text);
}

std::optional<AreaText> ParseAreaText(std::string_view startText, std::string_view endText) {
  startText = TrimFront(startText);
  endText = TrimFront(endText);
  if (startText.empty() || endText.empty()) return std::nullopt;
  AreaText area;
  const char s = startText.front();
  if ((s == '+' || s == '-') && endText.front() == s) {
    area.sign = s == '+' ? AreaSign::Plus : AreaSign::Minus;
    startText.remove_prefix(1);
    endText.remove_prefix(1);
  }
  area.start = AreaAddressValue(startText);
  area.end = AreaAddressValue(endText);
  return area;
}

ProgramAreaResult ProgramArea(const std::string& modulePath, uint32_t endOfFlash, AddressArea& area) {
  const IniFileAccess access(modulePath);
  const auto text = ParseAreaText(access.AreaStart(kNonAccessAreaPrefix, 1), access.AreaEnd(kNonAccessAreaPrefix, 1));
  if (!text) return ProgramAreaResult::None;
  if (text->sign != AreaSign::None && endOfFlash == kInvalid) return ProgramAreaResult::NeedsEndOfFlash;
  if (text->sign == AreaSign::Minus) {
    area = {endOfFlash - text->start - 1, endOfFlash - text->end - 1};
  } else {
    area = {text->start, text->end};
  }
  return ProgramAreaResult::Area;
}

}  // namespace zk::cmd
