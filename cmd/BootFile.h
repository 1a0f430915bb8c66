#pragma once
// Boot and flash files of the boot loader: records of a type byte, a 16-bit
// little-endian length L and L bytes. Memory records (0xB9, 0xE9) hold a
// 24-bit address (high byte, then the low 16 bits little-endian), an unused
// byte, L - 5 data bytes and one more unused byte; 0x8A ends the file; every
// other record is skipped whole.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zk::cmd {

inline constexpr uint8_t kMemoryRecordB9 = 0xB9;
inline constexpr uint8_t kMemoryRecordE9 = 0xE9;
inline constexpr uint8_t kEndRecord = 0x8A;
inline constexpr std::size_t kRecordHeaderSize = 3;      // type, length
inline constexpr std::size_t kMemoryRecordOverhead = 5;  // address, unused, trailing byte

struct MemoryRecord {
  uint32_t address = 0;
  std::span<const uint8_t> data;  // points into the file's bytes
};

// The memory records in file order, up to the end record (or the end of the
// file). nullopt when a record is cut short or a memory record is too short
// to hold its address.
std::optional<std::vector<MemoryRecord>> ParseBootFile(std::span<const uint8_t> file);

}  // namespace zk::cmd
