#pragma once
// The entry arrays the library hands to its callers. A block stays the
// library's until the caller hands it back; blocks never handed back are
// released with the library.
#include <cstddef>
#include <forward_list>
#include <memory>
#include <mutex>

namespace zk::cmd {

class ResultBlockList {
 public:
  // A zeroed block of size bytes (at least one byte), entered in the list;
  // null when memory runs out.
  void* Allocate(std::size_t size);
  // Releases block if the list holds it; false otherwise.
  bool Release(const void* block);
  void ReleaseAll();
  std::size_t Count() const;

 private:
  struct FreeDeleter {
    void operator()(void* p) const;
  };
  using Block = std::unique_ptr<void, FreeDeleter>;

  mutable std::mutex mutex_;
  std::forward_list<Block> blocks_;
};

ResultBlockList& ResultBlocks();

}  // namespace zk::cmd
