#pragma once
// The data records of a text image file as they were read, to find records
// that give one address two different values: such a file does not say what
// the flash is to hold. Records that repeat the same bytes agree.
#include <cstdint>
#include <optional>
#include <vector>

namespace zk::dm {

// The lowest address two records disagree on, and their lines in file
// order.
struct RecordConflict {
  uint32_t address;
  uint64_t firstLine;
  uint64_t secondLine;
};

class RecordOverlap {
 public:
  // data: the record's bytes, which stay where they are until Conflict.
  void Add(uint32_t address, const uint8_t* data, uint8_t length, uint64_t line);
  std::optional<RecordConflict> Conflict() const;

 private:
  struct Record {
    uint64_t start;
    uint64_t end;  // past the last byte
    const uint8_t* data;
    uint64_t line;
  };
  std::vector<Record> records_;
};

}  // namespace zk::dm
