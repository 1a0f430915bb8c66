#include "common/HandoutList.h"

#include <cstdlib>
#include <iterator>

namespace zk {

void HandoutList::FreeDeleter::operator()(void* p) const { std::free(p); }

void* HandoutList::Allocate(std::size_t size) {
  Buffer buffer(std::calloc(size == 0 ? 1 : size, 1));
  if (!buffer) return nullptr;
  void* raw = buffer.get();
  std::lock_guard lock(mutex_);
  buffers_.push_front(std::move(buffer));
  return raw;
}

bool HandoutList::Release(const void* buffer) {
  if (buffer == nullptr) return false;
  std::lock_guard lock(mutex_);
  for (auto prev = buffers_.before_begin(), it = buffers_.begin(); it != buffers_.end(); prev = it++) {
    if (it->get() == buffer) {
      buffers_.erase_after(prev);
      return true;
    }
  }
  return false;
}

void HandoutList::ReleaseAll() {
  std::lock_guard lock(mutex_);
  buffers_.clear();
}

std::size_t HandoutList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::distance(buffers_.begin(), buffers_.end()));
}

}  // namespace zk
