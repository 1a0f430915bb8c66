#pragma once
// The page form of the memory image: one page per data record of a HEX or
// S-record file, or per piece of an ELF segment, in ascending address order. Pages are never merged, split or checked
// for overlap; addresses that no page covers are not programmed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zk::dm {

// The longest page a run of bytes is cut into: one program request each.
inline constexpr uint8_t kRunPageBytes = 248;

struct Page {
  const uint8_t* data;
  uint32_t address;
  uint8_t length;
};

// The data bytes of the pages, allocated from large chunks that never move.
class PageArena {
 public:
  uint8_t* Allocate(std::size_t size);
  void Clear();

 private:
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  std::size_t chunkSize_ = 0;
  std::size_t used_ = 0;
};

class PageImage {
 public:
  std::span<const Page> Pages() const { return pages_; }
  bool Empty() const { return pages_.empty(); }
  uint32_t PageCount() const { return static_cast<uint32_t>(pages_.size()); }
  uint64_t ByteCount() const { return byteCount_; }
  void Clear();

 private:
  friend class PageImageBuilder;
  PageArena arena_;
  std::vector<Page> pages_;
  uint64_t byteCount_ = 0;
};

// Collects the data records of one load in file order and arranges them as
// inserting each into a sorted list would: ascending addresses; a page whose
// address equals that of pages already there goes before them, except that
// it never goes before the first page of the list.
class PageImageBuilder {
 public:
  // Adds a page; its length bytes are to be written at the pointer returned.
  uint8_t* Add(uint32_t address, uint8_t length);
  // Adds length bytes from address on as pages of kRunPageBytes (the last
  // one holds what remains); address + length must not pass 4 GB.
  void AddRun(uint32_t address, const uint8_t* bytes, uint64_t length);
  std::size_t Count() const { return image_.pages_.size(); }
  // The finished image; the builder is empty afterwards.
  PageImage Finish();

 private:
  // Where a page stands among earlier pages of its address.
  enum Rank : uint8_t {
    kBeforeEqual = 0,  // inserted while a lower address led the list
    kLeader = 1,       // became the first page of the list
    kAfterLeader = 2,  // inserted while a page of its address led the list
  };
  bool InOrder(std::size_t a, std::size_t b) const;
  void Arrange();

  PageImage image_;
  std::vector<uint8_t> ranks_;
  uint32_t lowest_ = 0;
};

}  // namespace zk::dm
