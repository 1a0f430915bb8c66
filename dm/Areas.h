#pragma once
// Protected and no-access areas of the module description. A pair whose
// ends both begin with '+' counts from the flash start, a pair whose ends
// both begin with '-' counts back from the flash end (offset 0 is the last
// byte); any other text is an absolute hex value.
#include "common/DmRecords.h"
#include "common/IniFileAccess.h"

#include <cstdint>
#include <vector>

namespace zk::dm {

enum class AreaKind { Protected, NonAccess };

struct ResolvedAreas {
  std::vector<AddressRange> areas;
  // A relative area was met while the flash window is unknown; areas holds
  // those before it.
  bool unresolved = false;
};

// NumberOfProtectedAreas or NumberOfNonAccessAreas, limited to 0..0xFFFF.
uint16_t AreaCount(const IniFileAccess& module, AreaKind kind);

// Areas 1..count ("Protected Area 1", ...), resolved against the flash window.
ResolvedAreas ReadAreas(const IniFileAccess& module, AreaKind kind, uint16_t count, uint32_t flashStart,
                        uint32_t flashEnd);

// Whether the range first..last touches area (either end inside it, or the
// range covering it); an area stored with its end below its start is taken
// as the span between its two ends.
bool Touches(uint32_t first, uint32_t last, const AddressRange& area);

}  // namespace zk::dm
