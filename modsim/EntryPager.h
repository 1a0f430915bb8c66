#pragma once
// Hands out the bytes of a long list answer piece by piece: at most
// `firstCapacity` bytes go with the first answer, at most `nextCapacity` with
// each continuation; an entry may straddle two answers. An endless list
// (a fault) goes on with the list from its start once it has run out.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zk::modsim {

class EntryPager {
 public:
  void Start(std::vector<uint8_t> bytes, std::size_t firstCapacity, std::size_t nextCapacity, bool endless = false);
  void Clear() {
    bytes_.clear();
    pos_ = 0;
    endless_ = false;
  }
  bool Empty() const { return !endless_ && pos_ >= bytes_.size(); }
  // The next piece (empty once everything went out).
  std::span<const uint8_t> Next();

 private:
  std::vector<uint8_t> bytes_;
  std::size_t pos_ = 0;
  std::size_t first_ = 0;
  std::size_t next_ = 0;
  bool started_ = false;
  bool endless_ = false;
};

}  // namespace zk::modsim
