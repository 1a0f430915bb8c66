#include "cmd/ResultBlockList.h"

#include <cstdlib>

namespace zk::cmd {

void ResultBlockList::FreeDeleter::operator()(void* p) const { std::free(p); }

void* ResultBlockList::Allocate(std::size_t size) {
  Block block(std::calloc(size == 0 ? 1 : size, 1));
  if (!block) return nullptr;
  void* raw = block.get();
  std::lock_guard lock(mutex_);
  blocks_.push_front(std::move(block));
  return raw;
}

bool ResultBlockList::Release(const void* block) {
  if (block == nullptr) return false;
  std::lock_guard lock(mutex_);
  for (auto prev = blocks_.before_begin(), it = blocks_.begin(); it != blocks_.end(); prev = it++) {
    if (it->get() == block) {
      blocks_.erase_after(prev);
      return true;
    }
  }
  return false;
}

void ResultBlockList::ReleaseAll() {
  std::lock_guard lock(mutex_);
  blocks_.clear();
}

std::size_t ResultBlockList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::distance(blocks_.begin(), blocks_.end()));
}

}  // namespace zk::cmd
