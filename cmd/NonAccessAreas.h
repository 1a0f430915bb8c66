#pragma once
// The areas of the module the tools must not touch, in the two forms the
// operations read them: integers for the sector status, and the text form of
// area 1 (absolute, or relative to the end of flash) for programming.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::cmd {

struct AddressArea {
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
};

// Areas 1 .. NumberOfNonAccessAreas with integer addresses (default -1).
std::vector<AddressArea> ReadNonAccessAreas(const std::string& modulePath);

// The parts of [first, last] that no area covers, in address order.
std::vector<AddressArea> OpenPieces(const std::vector<AddressArea>& areas, uint32_t first, uint32_t last);

// The lowest address of [first, last] that an area covers.
std::optional<uint32_t> FirstAreaByte(const std::vector<AddressArea>& areas, uint32_t first, uint32_t last);

// Area 1 in its text form, for programming.
enum class AreaSign { None, Plus, Minus };
struct AreaText {
  AreaSign sign = AreaSign::None;
  uint32_t start = 0;
  uint32_t end = 0;
};

// One address text: leading blanks dropped, then everything up to and
// including an 'x' after the first character, then hex digits; any other
// character gives 0xFFFFFFFF.
uint32_t AreaAddressValue(std::string_view text);

// Parses the StartAddress/EndAddress texts; nullopt when either is empty
// (no area is described).
std::optional<AreaText> ParseAreaText(std::string_view startText, std::string_view endText);

enum class ProgramAreaResult { None, Area, NeedsEndOfFlash };

// Area 1 as absolute addresses for a write; a relative area needs the end of
// flash (endOfFlash 0xFFFFFFFF: not set).
ProgramAreaResult ProgramArea(const std::string& modulePath, uint32_t endOfFlash, AddressArea& area);

}  // namespace zk::cmd
