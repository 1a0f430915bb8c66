#include "cmd/EntryList.h"

#include "cmd/ResultBlockList.h"

#include <algorithm>

namespace zk::cmd {
namespace {

uint32_t WireAddress(std::span<const uint8_t> entry) {
  return entry[0] | (uint32_t{entry[1]} << 8) | (uint32_t{entry[2]} << 16) |
         (uint32_t{entry[3]} << 24);
}

template <typename Entry, typename Convert>
bool HandOut(std::span<const uint8_t> wire, std::size_t count, SectorList& list, Convert convert) {
  list = SectorList{0, nullptr};
  count = std::min({count, wire.size() / kWireEntrySize, kMaxListEntries});
  if (count == 0) return true;
  auto* entries = static_cast<Entry*>(ResultBlocks().Allocate(count * sizeof(Entry)));
  if (entries == nullptr) return false;
  for (std::size_t i = 0; i < count; ++i) entries[i] = convert(wire.subspan(i * kWireEntrySize, kWireEntrySize));
  list.count = static_cast<uint16_t>(count);
  list.entries = entries;
  return true;
}

}  // namespace

std::size_t CollectEntryBytes(std::vector<uint8_t>& bytes, std::size_t offset, std::size_t limit,
                              std::size_t wanted) {
  const std::size_t take = std::min({limit, wanted, kCommandBufferSize - offset});
  const uint8_t* from = CommandBuffer().data() + offset;
  bytes.insert(bytes.end(), from, from + take);
  return take;
}

bool HandOutErased(std::span<const uint8_t> wire, std::size_t count, SectorList& list) {
  return HandOut<SectorEntry>(wire, count, list, [](std::span<const uint8_t> e) {
    return SectorEntry{WireAddress(e), e[4]};
  });
}

bool HandOutStatus(std::span<const uint8_t> wire, std::size_t count, SectorList& list) {
  return HandOut<SectorStatusEntry>(wire, count, list, [](std::span<const uint8_t> e) {
    return SectorStatusEntry{WireAddress(e), e[4]};
  });
}

}  // namespace zk::cmd
