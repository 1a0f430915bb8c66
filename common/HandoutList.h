#pragma once
// Buffers a library hands to its callers. A buffer stays the library's until
// the caller gives it back; what is never given back goes with the library.
#include <cstddef>
#include <forward_list>
#include <memory>
#include <mutex>

namespace zk {

class HandoutList {
 public:
  // A zeroed buffer of size bytes (at least one), registered under the
  // address returned; null when memory runs out.
  void* Allocate(std::size_t size);
  // The same for count elements of T.
  template <typename T>
  T* AllocateArray(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) return nullptr;
    return static_cast<T*>(Allocate(count * sizeof(T)));
  }
  // Gives a buffer back; false when the list does not hold it.
  bool Release(const void* buffer);
  void ReleaseAll();
  std::size_t Count() const;

 private:
  struct FreeDeleter {
    void operator()(void* p) const;
  };
  using Buffer = std::unique_ptr<void, FreeDeleter>;

  mutable std::mutex mutex_;
  std::forward_list<Buffer> buffers_;
};

}  // namespace zk
