#include "dm/Programmer.h"

#include "common/WorkerThread.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zk::dm {
namespace {

constexpr uint32_t kBlockMask = ~(kBlockSize - 1);
// A page cut from a run goes out as one request.
static_assert(kRunPageBytes <= kLargestRequest);

// One 128-byte block being filled; sent when the target leaves it.
class BlockBuffer {
 public:
  explicit BlockBuffer(ProgramTarget& target) : target_(target) { bytes_.fill(kBlockFill); }

  // Puts a byte at address, sending the current block first when address
  // lies outside it.
  ResultCode Put(uint32_t address, uint8_t byte) {
    const uint32_t block = address & kBlockMask;
    if (block != address_ || !holdsData_) {
      if (const ResultCode rc = Send(); rc != kOk) return rc;
      address_ = block;
    }
    bytes_[address & (kBlockSize - 1)] = byte;
    holdsData_ = true;
    return kOk;
  }

  // Sends the block when it holds any byte of the image.
  ResultCode Send() {
    if (!holdsData_) return kOk;
    const ResultCode rc = target_.Program(address_, bytes_.data(), kBlockSize);
    bytes_.fill(kBlockFill);
    holdsData_ = false;
    return rc;
  }

 private:
  ProgramTarget& target_;
  std::array<uint8_t, kBlockSize> bytes_{};
  uint32_t address_ = 0;
  bool holdsData_ = false;
};

ResultCode ProgramBlocks(std::span<const Page> pages, uint32_t offset, std::size_t pagesDone, std::size_t pageCount,
                         ProgramTarget& target) {
  if (target.StopRequested()) return kStopped;
  BlockBuffer block(target);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const Page& page = pages[i];
    const uint32_t address = page.address + offset;
    for (uint32_t k = 0; k < page.length; ++k) {
      if (const ResultCode rc = block.Put(address + k, page.data[k]); rc != kOk) return rc;
    }
    target.Progress(++pagesDone, pageCount);
    if (i + 1 < pages.size() && target.StopRequested()) return kStopped;
  }
  return block.Send();
}

}  // namespace

ResultCode ProgramFlat(const uint8_t* data, uint32_t length, uint32_t address, ProgramTarget& target) {
  uint32_t done = 0;
  while (done < length) {
    const uint32_t n = std::min(length - done, kLargestRequest);
    if (const ResultCode rc = target.CheckChunk(address, n); rc != kOk) return rc;
    if (const ResultCode rc = target.Program(address, data + done, static_cast<uint16_t>(n)); rc != kOk) {
      return rc;
    }
    address += n;
    done += n;
    const bool stop = target.StopRequested();
    target.Progress(done, length);
    if (done < length && stop) return kStopped;
  }
  return kOk;
}

ResultCode ProgramPages(std::span<const Page> pages, uint32_t offset, ProgramTarget& target) {
  if (target.StopRequested()) return kStopped;
  std::array<uint8_t, 256> request{};
  std::size_t i = 0;
  while (i < pages.size()) {
    const uint32_t address = pages[i].address + offset;
    if (address >= kBlockBoundary) return ProgramBlocks(pages.subspan(i), offset, i, pages.size(), target);
    // The page, then every following page that continues it exactly, as
    // long as the request stays within 248 bytes and below the boundary.
    uint32_t bytes = pages[i].length;
    std::memcpy(request.data(), pages[i].data, bytes);
    for (++i; i < pages.size(); ++i) {
      const Page& next = pages[i];
      const uint32_t nextAddress = next.address + offset;
      if (nextAddress != address + bytes || nextAddress >= kBlockBoundary || bytes + next.length > kLargestRequest) {
        break;
      }
      std::memcpy(request.data() + bytes, next.data, next.length);
      bytes += next.length;
    }
    if (bytes > 0) {
      if (const ResultCode rc = target.Program(address, request.data(), static_cast<uint16_t>(bytes)); rc != kOk) {
        return rc;
      }
    }
    target.Progress(i, pages.size());
    if (i < pages.size() && target.StopRequested()) return kStopped;
  }
  return kOk;
}

}  // namespace zk::dm
