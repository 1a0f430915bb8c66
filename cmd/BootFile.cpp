#include "cmd/BootFile.h"

namespace zk::cmd {

std::optional<std::vector<MemoryRecord>> ParseBootFile(std::span<const uint8_t> file) {
  std::vector<MemoryRecord> records;
  std::size_t pos = 0;
  while (pos < file.size()) {
    if (file.size() - pos < kRecordHeaderSize) return std::nullopt;
    const uint8_t type = file[pos];
    const std::size_t length = file[pos + 1] | (static_cast<std::size_t>(file[pos + 2]) << 8);
    if (type == kEndRecord) break;
    if (file.size() - pos - kRecordHeaderSize < length) return std::nullopt;
    const std::span<const uint8_t> body = file.subspan(pos + kRecordHeaderSize, length);
    if (type == kMemoryRecordB9 || type == kMemoryRecordE9) {
      if (length < kMemoryRecordOverhead) return std::nullopt;
      MemoryRecord record;
      record.address = (static_cast<uint32_t>(body[0]) << 16) | body[1] | (static_cast<uint32_t>(body[2]) << 8);
      record.data = body.subspan(4, length - kMemoryRecordOverhead);
      records.push_back(record);
    }
    pos += kRecordHeaderSize + length;
  }
  return records;
}

}  // namespace zk::cmd
