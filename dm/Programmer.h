#pragma once
// Programming the memory image through the command layer's synchronous
// program request: a flat image in chunks of at most 248 bytes, a page image
// page by page with adjacent pages merged up to 248 bytes, and pages whose
// target lies at or above 0xC00000 in whole 128-byte blocks filled with 0x00.
#include "common/ResultCodes.h"
#include "dm/PageImage.h"

#include <cstdint>
#include <span>

namespace zk::dm {

inline constexpr uint32_t kLargestRequest = 248;
inline constexpr uint32_t kBlockBoundary = 0xC00000;
inline constexpr uint32_t kBlockSize = 128;
inline constexpr uint8_t kBlockFill = 0x00;

// What programming needs from its surroundings.
class ProgramTarget {
 public:
  virtual ~ProgramTarget() = default;
  virtual ResultCode Program(uint32_t address, const uint8_t* data, uint16_t length) = 0;
  // Check point: true when a stop request has arrived.
  virtual bool StopRequested() = 0;
  virtual void Progress(uint64_t done, uint64_t total) = 0;
  // The protected-area check of one flat chunk.
  virtual ResultCode CheckChunk(uint32_t address, uint32_t length) = 0;
};

// A stop request ends either with kStopped; what was sent stays programmed.
// A stop that arrives after the last request no longer changes the result.
ResultCode ProgramFlat(const uint8_t* data, uint32_t length, uint32_t address, ProgramTarget& target);
ResultCode ProgramPages(std::span<const Page> pages, uint32_t offset, ProgramTarget& target);

}  // namespace zk::dm
