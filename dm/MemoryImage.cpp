#include "dm/MemoryImage.h"

#include "dm/Buffers.h"

namespace zk::dm {

void MemoryImage::Discard() {
  pages_.Clear();
  flat_.buffer.reset();
  flat_.length = 0;
  flat_.present = false;
  readResult_.reset();
  readBuffer_.reset();
  readLength_ = 0;
  readPending_ = false;
  byteCount_ = 0;
}

void MemoryImage::SetPages(PageImage pages) {
  pages_ = std::move(pages);
  byteCount_ = static_cast<uint32_t>(pages_.ByteCount());
}

void MemoryImage::SetFlat(std::unique_ptr<uint8_t[]> buffer, uint32_t length) {
  flat_.buffer = std::move(buffer);
  flat_.length = length;
  flat_.present = true;
  byteCount_ = length;
}

ReadResult* MemoryImage::PrepareRead(uint32_t length) {
  std::unique_ptr<uint8_t[]> buffer = TryZeroedBuffer(length);
  if (!buffer) return nullptr;
  readResult_ = std::make_unique<ReadResult>(ReadResult{0, buffer.get()});
  readBuffer_ = std::move(buffer);
  readLength_ = length;
  return readResult_.get();
}

void MemoryImage::CommitRead(uint32_t base) {
  flat_.buffer = std::move(readBuffer_);
  flat_.base = base;
  flat_.length = readLength_;
  flat_.present = true;
  byteCount_ = readLength_;
  readPending_ = true;
}

}  // namespace zk::dm
