#include "dm/SrecWriter.h"

#include "dm/TextOutput.h"

#include <algorithm>

namespace zk::dm {
namespace {

constexpr uint32_t kRecordBytes = 16;
constexpr std::size_t kLongestLine = 64;  // a data record of 16 bytes at a 32-bit address is 46 characters
constexpr uint64_t kLargestS5Count = 0xFFFF;
constexpr uint64_t kLargestS6Count = 0xFFFFFF;

// The record types of one address width.
struct AddressWidth {
  uint8_t bytes;
  char data;
  char start;
};
constexpr AddressWidth k16Bit{2, '1', '9'};
constexpr AddressWidth k24Bit{3, '2', '8'};
constexpr AddressWidth k32Bit{4, '3', '7'};

class Formatter {
 public:
  explicit Formatter(ByteSink& sink) : out_(sink) {}

  // One record: type digit, address of addressBytes bytes, the data.
  bool Record(char type, uint32_t address, uint8_t addressBytes, const uint8_t* bytes, uint8_t count) {
    char* p = out_.Reserve(kLongestLine + 2 * std::size_t{count});
    if (p == nullptr) return false;
    const auto length = static_cast<uint8_t>(addressBytes + count + 1);  // and the checksum
    unsigned sum = length;
    *p++ = 'S';
    *p++ = type;
    p = TextOutput::PutByte(p, length);
    for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8) {
      const auto byte = static_cast<uint8_t>(address >> shift);
      sum += byte;
      p = TextOutput::PutByte(p, byte);
    }
    for (uint8_t i = 0; i < count; ++i) {
      sum += bytes[i];
      p = TextOutput::PutByte(p, bytes[i]);
    }
    p = TextOutput::PutByte(p, static_cast<uint8_t>(~sum));
    *p++ = '\r';
    *p++ = '\n';
    out_.Commit(p);
    return true;
  }

  bool Flush() { return out_.Flush(); }

 private:
  TextOutput out_;
};

AddressWidth WidthFor(uint64_t lastAddress) {
  if (lastAddress <= 0xFFFF) return k16Bit;
  if (lastAddress <= 0xFFFFFF) return k24Bit;
  return k32Bit;
}

}  // namespace

HexSave WriteSrec(const uint8_t* data, uint32_t length, uint32_t base, ByteSink& sink,
                  const std::function<bool()>& stopRequested) {
  Formatter out(sink);
  const AddressWidth width = WidthFor(uint64_t{base} + (length > 0 ? length - 1 : 0));
  if (!out.Record('0', 0, k16Bit.bytes, nullptr, 0)) return HexSave::WriteError;
  uint64_t records = 0;
  StopChecks stops(stopRequested, length);
  uint32_t done = 0;
  while (done < length) {
    if (stops.Asked(done)) return out.Flush() ? HexSave::Stopped : HexSave::WriteError;
    const auto count = static_cast<uint8_t>(std::min(kRecordBytes, length - done));
    if (!out.Record(width.data, base + done, width.bytes, data + done, count)) return HexSave::WriteError;
    done += count;
    ++records;
  }
  if (records <= kLargestS5Count) {
    if (!out.Record('5', static_cast<uint32_t>(records), k16Bit.bytes, nullptr, 0)) return HexSave::WriteError;
  } else if (records <= kLargestS6Count) {
    if (!out.Record('6', static_cast<uint32_t>(records), k24Bit.bytes, nullptr, 0)) return HexSave::WriteError;
  }
  if (!out.Record(width.start, 0, width.bytes, nullptr, 0) || !out.Flush()) return HexSave::WriteError;
  return HexSave::Done;
}

}  // namespace zk::dm
