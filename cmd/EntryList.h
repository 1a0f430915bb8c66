#pragma once
// Entry lists of the erase and sector status answers: 5-byte entries (32-bit
// little-endian address, status byte) gathered from one or more answers and
// handed to the caller as an array of the result records.
#include "cmd/Command.h"
#include "common/Records.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace zk {
class HandoutList;
}

namespace zk::cmd {

class Session;

inline constexpr std::size_t kWireEntrySize = 5;
inline constexpr std::size_t kMaxListEntries = 0xFFFF;

// How the paging of a list ended.
enum class ListEnd {
  Complete,    // every announced entry arrived
  EndedEarly,  // a continuation said the list is over; the bytes hold the whole entries before it
  Failed,      // a continuation failed with code
  Stopped,     // the check point asked to stop
};

struct ListPages {
  ListEnd end = ListEnd::Complete;
  ResultCode code = kOk;
  std::vector<uint8_t> bytes;
};

// Asked before every answer is taken with the bytes so far and the bytes
// announced; true stops.
using ListCheckPoint = std::function<bool(std::size_t done, std::size_t wanted)>;

// Collects the count entries the list head answer in the command buffer
// announced: its own entry bytes, then continuations (paging.next) until
// all have arrived.
ListPages CollectList(Session& session, const ListPaging& paging, std::size_t count, const ListCheckPoint& checkPoint);

// The list as SectorEntry or SectorStatusEntry records handed out through
// handouts; false when memory runs out.
bool HandOutErased(HandoutList& handouts, std::span<const uint8_t> wire, std::size_t count, SectorList& list);
bool HandOutStatus(HandoutList& handouts, std::span<const uint8_t> wire, std::size_t count, SectorList& list);

inline void ClearList(SectorList* list) {
  if (list != nullptr) *list = SectorList{0, nullptr};
}

}  // namespace zk::cmd
