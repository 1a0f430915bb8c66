#pragma once
// Building Intel HEX text for the tests.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zk::dm::test {

// One record with a correct checksum (or the checksum plus skew).
inline std::string HexRecord(uint8_t type, uint16_t address, const std::vector<uint8_t>& data, int skew = 0,
                             const char* lineEnd = "\r\n") {
  char part[16];
  std::string text = ":";
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
  std::snprintf(part, sizeof part, "%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
  text += part;
  for (const uint8_t b : data) {
    std::snprintf(part, sizeof part, "%02X", b);
    text += part;
    sum += b;
  }
  std::snprintf(part, sizeof part, "%02X", (0x100 - (sum & 0xFF) + skew) & 0xFF);
  text += part;
  return text + lineEnd;
}

inline std::string DataRecord(uint16_t address, const std::vector<uint8_t>& data) {
  return HexRecord(0x00, address, data);
}

inline std::string LinearRecord(uint16_t upper) {
  return HexRecord(0x04, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
}

inline std::string SegmentRecord(uint16_t segment) {
  return HexRecord(0x02, 0, {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)});
}

inline const std::string kEndOfFile = ":00000001FF\r\n";

inline std::vector<uint8_t> Bytes(std::size_t count, uint8_t first = 0) {
  std::vector<uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

}  // namespace zk::dm::test
