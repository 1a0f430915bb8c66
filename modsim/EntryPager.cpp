#include "modsim/EntryPager.h"

#include <algorithm>

namespace zk::modsim {

namespace {

// What an endless list repeats when it has no entries of its own: one entry
// of no sector, failed.
const std::vector<uint8_t> kFillerEntry = {0x00, 0xFF, 0xFF, 0xFF, 0x21};

}  // namespace

void EntryPager::Start(std::vector<uint8_t> bytes, std::size_t firstCapacity, std::size_t nextCapacity, bool endless) {
  bytes_ = std::move(bytes);
  pos_ = 0;
  first_ = firstCapacity;
  next_ = nextCapacity;
  started_ = false;
  endless_ = endless;
  if (endless_ && bytes_.empty()) bytes_ = kFillerEntry;
}

std::span<const uint8_t> EntryPager::Next() {
  const std::size_t capacity = started_ ? next_ : first_;
  started_ = true;
  if (endless_ && pos_ >= bytes_.size()) pos_ = 0;
  const std::size_t take = std::min(capacity, bytes_.size() - std::min(pos_, bytes_.size()));
  const std::span<const uint8_t> piece(bytes_.data() + pos_, take);
  pos_ += take;
  return piece;
}

}  // namespace zk::modsim
