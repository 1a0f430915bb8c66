#include "dm/HexWriter.h"

#include "dm/TextOutput.h"

#include <algorithm>

namespace zk::dm {
namespace {

constexpr std::size_t kLongestLine = 64;  // a data record of 16 bytes is 45 characters
constexpr uint32_t kRecordBytes = 16;
constexpr uint64_t kSegment = 0x10000;
constexpr std::string_view kEndRecord = ":00000001FF\n";

class Formatter {
 public:
  explicit Formatter(ByteSink& sink) : out_(sink) {}

  bool Record(uint8_t type, uint16_t address, const uint8_t* bytes, uint8_t count) {
    char* p = out_.Reserve(kLongestLine + 2 * std::size_t{count});
    if (p == nullptr) return false;
    const auto high = static_cast<uint8_t>(address >> 8);
    const auto low = static_cast<uint8_t>(address);
    unsigned sum = count + high + low + type;
    *p++ = ':';
    p = TextOutput::PutByte(p, count);
    p = TextOutput::PutByte(p, high);
    p = TextOutput::PutByte(p, low);
    p = TextOutput::PutByte(p, type);
    for (uint8_t i = 0; i < count; ++i) {
      sum += bytes[i];
      p = TextOutput::PutByte(p, bytes[i]);
    }
    p = TextOutput::PutByte(p, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    *p++ = '\r';
    *p++ = '\n';
    out_.Commit(p);
    return true;
  }

  bool Text(std::string_view text) { return out_.Text(text); }
  bool Flush() { return out_.Flush(); }

 private:
  TextOutput out_;
};

enum : uint8_t { kDataType = 0x00, kExtendedLinearType = 0x04 };

}  // namespace

HexSave WriteHex(const uint8_t* data, uint32_t length, uint32_t base, ByteSink& sink,
                 const std::function<bool()>& stopRequested) {
  Formatter out(sink);
  uint32_t upper = 0;  // upper 16 address bits in force
  StopChecks stops(stopRequested, length);
  uint32_t done = 0;
  while (done < length) {
    if (stops.Asked(done)) return out.Flush() ? HexSave::Stopped : HexSave::WriteError;
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
