#include "modsim/DemoFiles.h"

#include "modsim/Random.h"

#include <algorithm>
#include <string_view>

namespace zk::modsim {
namespace {

std::vector<uint8_t> Code(uint64_t seed, std::size_t size, std::string_view banner) {
  Random random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random.Next() >> 56);
  std::copy_n(banner.begin(), std::min(banner.size(), size), bytes.begin());
  return bytes;
}

MemoryRecord Record(RecordType type, uint32_t address, std::vector<uint8_t> data) {
  return MemoryRecord{address, std::move(data), type};
}

}  // namespace

RecordFile DemoBootFile() {
  // Bytes the host must not take for frame codes: 0x30, 0x00 and DLE inside.
  auto code = Code(0xB007, 512, "ZK boot 1.2");
  code[16] = 0x30;
  code[17] = 0x00;
  code[18] = 0x10;
  RecordFile file;
  file.records.push_back(Record(RecordType::kMemory, 0x00FA00, {code.begin(), code.begin() + 300}));
  file.records.push_back(Record(RecordType::kMemoryExtended, 0x00FA00 + 300, {code.begin() + 300, code.end()}));
  return file;
}

RecordFile DemoFlashFile() {
  const auto firmware = Code(0xF1A5, 701 + 1500 + 2400, "Zelkor simulated flash firmware 3.1.7");
  RecordFile file;
  const auto at = [&](std::size_t from, std::size_t size) {
    return std::vector<uint8_t>(firmware.begin() + static_cast<std::ptrdiff_t>(from),
                                firmware.begin() + static_cast<std::ptrdiff_t>(from + size));
  };
  file.records.push_back(Record(RecordType::kMemory, 0x200001, at(0, 701)));
  file.records.push_back(Record(RecordType::kMemoryExtended, 0x200001 + 701, at(701, 1500)));
  file.records.push_back(Record(RecordType::kMemory, 0x201000, at(2201, 2400)));
  return file;
}

}  // namespace zk::modsim
