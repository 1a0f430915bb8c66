#pragma once
// Entry lists of the erase and sector status answers: 5-byte entries (32-bit
// little-endian address, status byte) gathered from one or more answers and
// handed to the caller as an array of the result records.
#include "cmd/CommandBuffer.h"
#include "common/Records.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zk::cmd {

inline constexpr std::size_t kWireEntrySize = 5;
inline constexpr std::size_t kMaxListEntries = 0xFFFF;

// Appends up to limit bytes of the command buffer from offset, but no more
// than are still wanted; returns how many.
std::size_t CollectEntryBytes(std::vector<uint8_t>& bytes, std::size_t offset, std::size_t limit,
                              std::size_t wanted);

// The list in the result block list as SectorEntry or SectorStatusEntry
// records; false when memory runs out.
bool HandOutErased(std::span<const uint8_t> wire, std::size_t count, SectorList& list);
bool HandOutStatus(std::span<const uint8_t> wire, std::size_t count, SectorList& list);

inline void ClearList(SectorList* list) {
  if (list != nullptr) *list = SectorList{0, nullptr};
}

}  // namespace zk::cmd
