#include "dm/Areas.h"

#include "dm/HexValue.h"

#include <algorithm>
#include <string>

namespace zk::dm {
namespace {

constexpr uint32_t kMaxAreaCount = 0xFFFF;

std::string_view WithoutLeadingBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

bool BothBegin(std::string_view a, std::string_view b, char sign) {
  return !a.empty() && !b.empty() && a.front() == sign && b.front() == sign;
}

std::string_view Prefix(AreaKind kind) {
  return kind == AreaKind::Protected ? kProtectedAreaPrefix : kNonAccessAreaPrefix;
}

}  // namespace

uint16_t AreaCount(const IniFileAccess& module, AreaKind kind) {
  const int32_t count = kind == AreaKind::Protected ? module.NumberOfProtectedAreas() : module.NumberOfNonAccessAreas();
  return static_cast<uint16_t>(std::clamp<int64_t>(count, 0, kMaxAreaCount));
}

ResolvedAreas ReadAreas(const IniFileAccess& module, AreaKind kind, uint16_t count, uint32_t flashStart,
                        uint32_t flashEnd) {
  const std::string_view prefix = Prefix(kind);
  ResolvedAreas result;
  result.areas.reserve(count);
  for (int i = 1; i <= count; ++i) {
    const std::string startText = module.AreaStart(prefix, i);
    const std::string endText = module.AreaEnd(prefix, i);
    std::string_view start = WithoutLeadingBlanks(startText);
    std::string_view end = WithoutLeadingBlanks(endText);
    AddressRange area{};
    if (BothBegin(start, end, '+')) {
      if (flashEnd == 0) {
        result.unresolved = true;
        return result;
      }
      area = {HexValue(start.substr(1)) + flashStart, HexValue(end.substr(1)) + flashStart};
    } else if (BothBegin(start, end, '-')) {
      if (flashEnd == 0) {
        result.unresolved = true;
        return result;
      }
      area = {flashEnd - HexValue(start.substr(1)) - 1, flashEnd - HexValue(end.substr(1)) - 1};
    } else {
      area = {HexValue(start), HexValue(end)};
    }
    result.areas.push_back(area);
  }
  return result;
}

bool Touches(uint32_t first, uint32_t last, const AddressRange& area) {
  const uint32_t s = area.start;
  const uint32_t e = area.end;
  return (s <= first && first <= e) || (s <= last && last <= e) || (first <= s && last >= e);
}

}  // namespace zk::dm
