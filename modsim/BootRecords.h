#pragma once
// Boot and flash files: a sequence of records, each a type byte, a 16-bit
// little-endian length L and L bytes. Memory records (0xB9, 0xE9) hold a
// 24-bit address (high byte, then the low 16 bits little-endian), an unused
// byte, L - 5 data bytes and a trailing check byte; the end record (0x8A)
// ends the file; every other record is skipped whole.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zk::modsim {

enum class RecordType : uint8_t {
  kHeader = 0x80,
  kEnd = 0x8A,
  kMemory = 0xB9,
  kMemoryExtended = 0xE9,
};

inline constexpr std::size_t kRecordHeaderSize = 3;      // type, length low, length high
inline constexpr std::size_t kMemoryRecordOverhead = 5;  // address (3), unused byte, check byte
inline constexpr std::size_t kMaxRecordData = 0xFFFF - kMemoryRecordOverhead;

struct MemoryRecord {
  uint32_t address = 0;  // 24 bits
  std::vector<uint8_t> data;
  RecordType type = RecordType::kMemory;
};

struct RecordFile {
  std::vector<MemoryRecord> records;  // memory records in file order

  // All data bytes in file order (what the boot download sends raw).
  std::vector<uint8_t> Concatenated() const;
  std::size_t DataSize() const;
};

// Nullopt and a message for a file that is cut short, has a memory record
// too short for its address, or lacks the end record.
std::optional<RecordFile> ParseRecordFile(std::span<const uint8_t> bytes, std::string* error);
std::optional<RecordFile> ReadRecordFile(const std::string& path, std::string* error);

// A header record naming the file, the memory records, the end record.
std::vector<uint8_t> EncodeRecordFile(const RecordFile& file, std::string_view name);
bool WriteRecordFile(const std::string& path, const RecordFile& file, std::string_view name, std::string* error);

}  // namespace zk::modsim
