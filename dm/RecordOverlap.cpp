#include "dm/RecordOverlap.h"

#include <algorithm>

namespace zk::dm {

void RecordOverlap::Add(uint32_t address, const uint8_t* data, uint8_t length, uint64_t line) {
  if (length == 0) return;
  records_.push_back({address, uint64_t{address} + length, data, line});
}

std::optional<RecordConflict> RecordOverlap::Conflict() const {
  std::vector<const Record*> order;
  order.reserve(records_.size());
  for (const Record& r : records_) order.push_back(&r);
  std::stable_sort(order.begin(), order.end(), [](const Record* a, const Record* b) { return a->start < b->start; });

  std::optional<RecordConflict> best;
  // The records that reach past the start of the one in hand.
  std::vector<const Record*> open;
  for (const Record* r : order) {
    if (best && r->start >= best->address) break;  // no lower conflict can follow
    std::erase_if(open, [r](const Record* o) { return o->end <= r->start; });
    for (const Record* o : open) {
      const uint64_t to = std::min(o->end, r->end);
      for (uint64_t at = r->start; at < to; ++at) {
        if (o->data[at - o->start] == r->data[at - r->start]) continue;
        if (!best || at < best->address) {
          best = RecordConflict{static_cast<uint32_t>(at), std::min(o->line, r->line), std::max(o->line, r->line)};
        }
        break;
      }
    }
    open.push_back(r);
  }
  return best;
}

}  // namespace zk::dm
