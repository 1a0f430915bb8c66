#include "dm/PageImage.h"

#include <algorithm>
#include <numeric>

namespace zk::dm {
namespace {

constexpr std::size_t kFirstChunk = 4096;
constexpr std::size_t kLargestChunk = std::size_t{1} << 20;

}  // namespace

uint8_t* PageArena::Allocate(std::size_t size) {
  if (chunks_.empty() || chunkSize_ - used_ < size) {
    chunkSize_ = std::max(size, chunkSize_ == 0 ? kFirstChunk : std::min(chunkSize_ * 2, kLargestChunk));
    chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(chunkSize_));
    used_ = 0;
  }
  uint8_t* p = chunks_.back().get() + used_;
  used_ += size;
  return p;
}

void PageArena::Clear() {
  chunks_.clear();
  chunkSize_ = 0;
  used_ = 0;
}

void PageImage::Clear() {
  pages_.clear();
  pages_.shrink_to_fit();
  arena_.Clear();
  byteCount_ = 0;
}

uint8_t* PageImageBuilder::Add(uint32_t address, uint8_t length) {
  Rank rank = kBeforeEqual;
  if (image_.pages_.empty() || address < lowest_) {
    rank = kLeader;
    lowest_ = address;
  } else if (address == lowest_) {
    rank = kAfterLeader;
  }
  uint8_t* data = image_.arena_.Allocate(length);
  image_.pages_.push_back(Page{data, address, length});
  ranks_.push_back(rank);
  image_.byteCount_ += length;
  return data;
}

void PageImageBuilder::AddRun(uint32_t address, const uint8_t* bytes, uint64_t length) {
  for (uint64_t done = 0; done < length;) {
    const auto n = static_cast<uint8_t>(std::min<uint64_t>(kRunPageBytes, length - done));
    std::copy(bytes + done, bytes + done + n, Add(static_cast<uint32_t>(address + done), n));
    done += n;
  }
}

// Final order: ascending address; among equal addresses first those that
// went before the equal pages, newest first, then the leader, then those
// that went in right after the leader, newest first.
bool PageImageBuilder::InOrder(std::size_t a, std::size_t b) const {
  const auto& pages = image_.pages_;
  if (pages[a].address != pages[b].address) return pages[a].address < pages[b].address;
  if (ranks_[a] != ranks_[b]) return ranks_[a] < ranks_[b];
  return a > b;
}

void PageImageBuilder::Arrange() {
  auto& pages = image_.pages_;
  const std::size_t n = pages.size();
  bool ascending = true;
  bool descending = true;
  for (std::size_t i = 1; i < n && (ascending || descending); ++i) {
    if (!InOrder(i - 1, i)) ascending = false;
    if (!InOrder(i, i - 1)) descending = false;
  }
  if (ascending) return;
  if (descending) {
    std::reverse(pages.begin(), pages.end());
    return;
  }
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) { return InOrder(a, b); });
  std::vector<Page> arranged;
  arranged.reserve(n);
  for (const std::size_t i : order) arranged.push_back(pages[i]);
  pages = std::move(arranged);
}

PageImage PageImageBuilder::Finish() {
  Arrange();
  ranks_.clear();
  ranks_.shrink_to_fit();
  lowest_ = 0;
  PageImage done = std::move(image_);
  image_ = PageImage{};
  return done;
}

}  // namespace zk::dm
