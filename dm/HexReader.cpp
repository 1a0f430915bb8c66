#include "dm/HexReader.h"

#include "dm/RecordDigits.h"
#include "dm/RecordReader.h"

#include <array>

namespace zk::dm {
namespace {

constexpr std::size_t kLongestRecord = 1 + 8 + 2 * 255 + 2;
constexpr std::size_t kRecordHead = 8;  // count, address, type
constexpr char kEndsEarly[] = "the file ends before its end-of-file record";
constexpr char kEndsInRecord[] = "the file ends inside a record";
constexpr char kNotHex[] = "a character that is not a hex digit 0-9 or A-F";

std::string HexByteText(uint8_t value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[value >> 4] + kDigits[value & 0x0F];
}

enum RecordType : uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegment = 0x02,
  kStartSegment = 0x03,
  kExtendedLinear = 0x04,
  kStartLinear = 0x05,
};

// Decodes count bytes from 2 * count hex characters; false on any other
// character.
bool DecodeHex(const uint8_t* text, std::size_t count, uint8_t* out) {
  return DecodeHexDigits(kUpperCaseNibbles, text, count, out);
}

unsigned Sum(const uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

class Reader : public RecordReader {
 public:
  Reader(ByteSource& source, const HexReadHooks& hooks) : RecordReader(source, hooks, kLongestRecord) {}

  HexLoad Run() {
    if (!scan_.SeekLineStart(':')) {
      noRecord_ = true;
      return Early("no line starts with ':'");
    }
    for (;;) {
      if (StopAsked()) return HexLoad::Stopped;
      if (!scan_.SeekTo(':')) return Early(kEndsEarly);
      scan_.Advance(1);
      if (!scan_.Ensure(kRecordHead)) return Early(kEndsInRecord);
      uint8_t head[4];
      if (!DecodeHex(scan_.Cursor(), 4, head)) return NotHex();
      scan_.Advance(kRecordHead);
      const uint8_t count = head[0];
      const uint32_t offset = (uint32_t{head[1]} << 8) | head[2];
      const unsigned headSum = Sum(head, 4);

      switch (head[3]) {
        case kData: {
          if (!scan_.Ensure(2 * std::size_t{count} + 2)) return Early(kEndsInRecord);
          uint8_t* data = pages_.Add(base_ + offset, count);
          if (!DecodeHex(scan_.Cursor(), count, data)) return NotHex();
          scan_.Advance(2 * std::size_t{count});
          const HexLoad checked = Verify(headSum + Sum(data, count));
          if (checked != HexLoad::Complete) return checked;
          overlap_.Add(base_ + offset, data, count, scan_.Line());
          break;
        }
        case kEndOfFile: {
          if (!scan_.Ensure(2)) return Early(kEndsInRecord);
          const HexLoad checked = Verify(headSum);
          if (checked == HexLoad::Complete && scan_.SeekTo(':')) droppedLine_ = scan_.Line();
          return checked;
        }
        case kExtendedSegment:
        case kExtendedLinear: {
          if (!scan_.Ensure(6)) return Early(kEndsInRecord);
          uint8_t value[2];
          if (!DecodeHex(scan_.Cursor(), 2, value)) return NotHex();
          scan_.Advance(4);
          const HexLoad checked = Verify(headSum + Sum(value, 2));
          if (checked != HexLoad::Complete) return checked;
          const uint32_t word = (uint32_t{value[0]} << 8) | value[1];
          base_ = head[3] == kExtendedLinear ? word << 16 : word << 4;
          break;
        }
        case kStartSegment:
        case kStartLinear: {
          // Not used, but checked like every record: a data record whose
          // type was spoilt into one of these must not pass unseen.
          if (!scan_.Ensure(2 * std::size_t{count} + 2)) return Early(kEndsInRecord);
          std::array<uint8_t, 255> value{};
          if (!DecodeHex(scan_.Cursor(), count, value.data())) return NotHex();
          scan_.Advance(2 * std::size_t{count});
          const HexLoad checked = Verify(headSum + Sum(value.data(), count));
          if (checked != HexLoad::Complete) return checked;
          break;
        }
        default: problem_ = "record type " + HexByteText(head[3]) + " is not known"; return HexLoad::UnknownType;
      }
    }
  }

  uint64_t Line() const { return noRecord_ ? 0 : scan_.Line(); }

 private:
  // Reads the checksum at the cursor: Complete when it matches sum.
  HexLoad Verify(unsigned sum) {
    uint8_t checksum = 0;
    if (!DecodeHex(scan_.Cursor(), 1, &checksum)) return NotHex();
    scan_.Advance(2);
    if (((sum + checksum) & 0xFF) == 0) return HexLoad::Complete;
    problem_ = "the record's checksum does not match";
    return HexLoad::ChecksumError;
  }

  // The input ended before the end-of-file record.
  HexLoad Early(const char* problem) {
    problem_ = problem;
    return scan_.Failed() ? HexLoad::ReadError : HexLoad::FormatError;
  }

  HexLoad NotHex() { return Bad(kNotHex); }

  uint32_t base_ = 0;
  bool noRecord_ = false;
};

}  // namespace

void SettleRecords(HexReadResult& result, const RecordOverlap& overlap) {
  if (result.outcome != HexLoad::Complete) return;
  result.conflict = overlap.Conflict();
  if (!result.conflict) return;
  result.outcome = HexLoad::Overlap;
  result.line = result.conflict->secondLine;
  result.droppedLine = 0;
}

HexReadResult ReadHex(ByteSource& source, const HexReadHooks& hooks) {
  Reader reader(source, hooks);
  const HexLoad outcome = reader.Run();
  return ResultOf(reader, outcome);
}

}  // namespace zk::dm
