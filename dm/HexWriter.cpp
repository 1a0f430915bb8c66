#include "dm/HexWriter.h"

#include <algorithm>
#include <array>
#include <vector>

namespace zk::dm {
namespace {

constexpr std::size_t kOutputBuffer = std::size_t{1} << 20;
constexpr std::size_t kLongestLine = 64;  // a data record of 16 bytes is 45 characters
constexpr uint32_t kRecordBytes = 16;
constexpr uint64_t kSegment = 0x10000;
constexpr std::string_view kEndRecord = ":00000001FF\n";

using PairTable = std::array<std::array<char, 2>, 256>;

constexpr PairTable MakePairs() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  PairTable table{};
  for (int i = 0; i < 256; ++i) table[i] = {kDigits[i >> 4], kDigits[i & 0xF]};
  return table;
}
constexpr PairTable kPairs = MakePairs();

class Formatter {
 public:
  explicit Formatter(ByteSink& sink) : sink_(sink), buffer_(kOutputBuffer) {}

  bool Record(uint8_t type, uint16_t address, const uint8_t* bytes, uint8_t count) {
    if (buffer_.size() - used_ < kLongestLine + 2 * std::size_t{count} && !Flush()) return false;
    char* p = reinterpret_cast<char*>(buffer_.data()) + used_;
    char* const start = p;
    const auto high = static_cast<uint8_t>(address >> 8);
    const auto low = static_cast<uint8_t>(address);
    unsigned sum = count + high + low + type;
    *p++ = ':';
    p = Put(p, count);
    p = Put(p, high);
    p = Put(p, low);
    p = Put(p, type);
    for (uint8_t i = 0; i < count; ++i) {
      sum += bytes[i];
      p = Put(p, bytes[i]);
    }
    p = Put(p, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    *p++ = '\r';
    *p++ = '\n';
    used_ += static_cast<std::size_t>(p - start);
    return true;
  }

  bool Text(std::string_view text) {
    if (buffer_.size() - used_ < text.size() && !Flush()) return false;
    std::copy(text.begin(), text.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
    used_ += text.size();
    return true;
  }

  bool Flush() {
    const bool ok = used_ == 0 || sink_.Write(buffer_.data(), used_);
    used_ = 0;
    return ok;
  }

 private:
  static char* Put(char* p, uint8_t value) {
    p[0] = kPairs[value][0];
    p[1] = kPairs[value][1];
    return p + 2;
  }

  ByteSink& sink_;
  std::vector<uint8_t> buffer_;
  std::size_t used_ = 0;
};

enum : uint8_t { kDataType = 0x00, kExtendedLinearType = 0x04 };

}  // namespace

HexSave WriteHex(const uint8_t* data, uint32_t length, uint32_t base, ByteSink& sink,
                 const std::function<bool()>& stopRequested) {
  Formatter out(sink);
  uint32_t upper = 0;  // upper 16 address bits in force
  uint32_t done = 0;
  uint32_t nextCheck = 0;
  while (done < length) {
    if (done >= nextCheck) {
      nextCheck = done + std::min(kHexSaveStopInterval, length - done);
      if (stopRequested && stopRequested()) return out.Flush() ? HexSave::Stopped : HexSave::WriteError;
    }
    const uint32_t address = base + done;
    if ((address >> 16) != upper) {
      upper = address >> 16;
      const uint8_t word[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
      if (!out.Record(kExtendedLinearType, 0, word, 2)) return HexSave::WriteError;
    }
    const uint64_t toBoundary = kSegment - (address & 0xFFFF);
    const auto count = static_cast<uint8_t>(std::min<uint64_t>({kRecordBytes, length - done, toBoundary}));
    if (!out.Record(kDataType, static_cast<uint16_t>(address), data + done, count)) return HexSave::WriteError;
    done += count;
  }
  if (!out.Text(kEndRecord) || !out.Flush()) return HexSave::WriteError;
  return HexSave::Done;
}

}  // namespace zk::dm
