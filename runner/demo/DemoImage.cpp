// Writes the demo's Intel HEX image: two runs of pseudo-random bytes, so
// that a byte programmed at a wrong address cannot pass the comparison,
// with an erased gap between them.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kRecordBytes = 16;

struct Run {
  uint32_t start;
  uint32_t length;
};

// Sectors 0 and 1 whole, and the first half of sector 2 (16 KB sectors).
constexpr Run kRuns[] = {{0x0000, 0x6000}, {0x8000, 0x2000}};

class HexFile {
 public:
  explicit HexFile(std::FILE* file) : file_(file) {}

  void Record(uint8_t type, uint16_t address, const uint8_t* data, uint32_t length) {
    uint32_t sum = length + (address >> 8) + (address & 0xFF) + type;
    std::fprintf(file_, ":%02X%04X%02X", length, address, type);
    for (uint32_t i = 0; i < length; ++i) {
      std::fprintf(file_, "%02X", data[i]);
      sum += data[i];
    }
    std::fprintf(file_, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
  }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.hex\n", argv[0]);
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "w");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  HexFile hex(file);
  const uint8_t upper[2] = {0, 0};
  hex.Record(4, 0, upper, 2);
  uint32_t state = 0x2545F491;
  for (const Run& run : kRuns) {
    std::vector<uint8_t> bytes(run.length);
    for (uint8_t& b : bytes) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      b = static_cast<uint8_t>(state);
    }
    for (uint32_t offset = 0; offset < run.length; offset += kRecordBytes) {
      hex.Record(0, static_cast<uint16_t>(run.start + offset), bytes.data() + offset, kRecordBytes);
    }
  }
  hex.Record(1, 0, nullptr, 0);
  const bool ok = std::fclose(file) == 0;
  return ok ? 0 : 1;
}
