#include "modsim/EntryPager.h"

#include <algorithm>

namespace zk::modsim {

void EntryPager::Start(std::vector<uint8_t> bytes, std::size_t firstCapacity, std::size_t nextCapacity) {
  bytes_ = std::move(bytes);
  pos_ = 0;
  first_ = firstCapacity;
  next_ = nextCapacity;
  started_ = false;
}

std::span<const uint8_t> EntryPager::Next() {
  const std::size_t capacity = started_ ? next_ : first_;
  started_ = true;
  const std::size_t take = std::min(capacity, bytes_.size() - std::min(pos_, bytes_.size()));
  const std::span<const uint8_t> piece(bytes_.data() + pos_, take);
  pos_ += take;
  return piece;
}

}  // namespace zk::modsim
