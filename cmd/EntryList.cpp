#include "cmd/EntryList.h"

#include "cmd/Session.h"
#include "cmd/Transaction.h"

#include <algorithm>

namespace zk::cmd {
namespace {

uint32_t WireAddress(std::span<const uint8_t> entry) {
  return entry[0] | (uint32_t{entry[1]} << 8) | (uint32_t{entry[2]} << 16) | (uint32_t{entry[3]} << 24);
}

// Appends up to limit bytes of the command buffer from offset, but no more
// than are still wanted; false when the answer does not carry them.
bool TakeEntryBytes(const Session& session, std::vector<uint8_t>& bytes, std::size_t offset, std::size_t limit,
                    std::size_t wanted) {
  const std::size_t take = std::min({limit, wanted, kCommandBufferSize - offset});
  if (!AnswerCarries(session, offset + take)) return false;
  const uint8_t* from = session.buffer.data() + offset;
  bytes.insert(bytes.end(), from, from + take);
  return true;
}

template <typename Entry, typename Convert>
bool HandOut(HandoutList& handouts, std::span<const uint8_t> wire, std::size_t count, SectorList& list,
             Convert convert) {
  list = SectorList{0, nullptr};
  count = std::min({count, wire.size() / kWireEntrySize, kMaxListEntries});
  if (count == 0) return true;
  auto* entries = handouts.AllocateArray<Entry>(count);
  if (entries == nullptr) return false;
  for (std::size_t i = 0; i < count; ++i) entries[i] = convert(wire.subspan(i * kWireEntrySize, kWireEntrySize));
  list.count = static_cast<uint16_t>(count);
  list.entries = entries;
  return true;
}

}  // namespace

ListPages CollectList(Session& session, const ListPaging& paging, std::size_t count, const ListCheckPoint& checkPoint) {
  CommandBufferBytes& buffer = session.buffer;
  const std::size_t wanted = count * kWireEntrySize;
  ListPages pages;
  pages.bytes.reserve(wanted);
  for (bool first = true; pages.bytes.size() < wanted; first = false) {
    if (checkPoint(pages.bytes.size(), wanted)) {
      pages.end = ListEnd::Stopped;
      return pages;
    }
    if (!first) {
      pages.code = RunWithLateAnswer(session, request::CodeOnly(buffer, paging.next));
      if (pages.code != kOk) {
        pages.end = ListEnd::Failed;
        return pages;
      }
      if (answer::Status(buffer) == 0) {
        pages.bytes.resize(pages.bytes.size() / kWireEntrySize * kWireEntrySize);
        pages.end = ListEnd::EndedEarly;
        return pages;
      }
    }
    if (!TakeEntryBytes(session, pages.bytes, first ? answer::kFirstListEntries : answer::kNextListEntries,
                        first ? paging.firstBytes : paging.nextBytes, wanted - pages.bytes.size())) {
      pages.end = ListEnd::Failed;
      pages.code = kShortAnswer;
      return pages;
    }
  }
  return pages;
}

bool HandOutErased(HandoutList& handouts, std::span<const uint8_t> wire, std::size_t count, SectorList& list) {
  return HandOut<SectorEntry>(handouts, wire, count, list, [](std::span<const uint8_t> e) {
    return SectorEntry{WireAddress(e), e[4]};
  });
}

bool HandOutStatus(HandoutList& handouts, std::span<const uint8_t> wire, std::size_t count, SectorList& list) {
  return HandOut<SectorStatusEntry>(handouts, wire, count, list, [](std::span<const uint8_t> e) {
    return SectorStatusEntry{WireAddress(e), e[4]};
  });
}

}  // namespace zk::cmd
