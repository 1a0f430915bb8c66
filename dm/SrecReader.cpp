#include "dm/SrecReader.h"

#include "dm/RecordDigits.h"
#include "dm/RecordReader.h"

#include <array>
#include <cstring>
#include <string>

namespace zk::dm {
namespace {

constexpr std::size_t kRecordHead = 4;  // 'S', type, two count digits
constexpr std::size_t kLongestRecord = kRecordHead + 2 * 255;
constexpr std::size_t kLongestLine = kLongestRecord + 64;  // room for blanks behind it
constexpr char kNotHex[] = "a character that is not a hex digit 0-9, A-F or a-f";
constexpr unsigned kChecksumSum = 0xFF;  // count, address, data and checksum add up to it

enum class RecordKind : uint8_t { kHeader, kData, kCount, kStart, kReserved };

struct RecordType {
  RecordKind kind;
  uint8_t addressBytes;
};

// S0 .. S9 by their digit.
constexpr std::array<RecordType, 10> kTypes{{
    {RecordKind::kHeader, 2},
    {RecordKind::kData, 2},
    {RecordKind::kData, 3},
    {RecordKind::kData, 4},
    {RecordKind::kReserved, 0},
    {RecordKind::kCount, 2},
    {RecordKind::kCount, 3},
    {RecordKind::kStart, 4},
    {RecordKind::kStart, 3},
    {RecordKind::kStart, 2},
}};

// Decodes count bytes from 2 * count hex characters; false on any other
// character.
bool DecodeHex(const uint8_t* text, std::size_t count, uint8_t* out) {
  return DecodeHexDigits(kEitherCaseNibbles, text, count, out);
}

bool IsLineEndBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r'; }

class Reader : public RecordReader {
 public:
  Reader(ByteSource& source, const HexReadHooks& hooks) : RecordReader(source, hooks, kLongestLine) {}

  HexLoad Run() {
    for (;;) {
      if (StopAsked()) return HexLoad::Stopped;
      if (scan_.AtEnd()) {
        problem_ = "the file ends before its end record (S7, S8 or S9)";
        return scan_.Failed() ? HexLoad::ReadError : HexLoad::FormatError;
      }
      const std::size_t length = scan_.LineLength();
      if (length > kLongestLine) return Bad("the line is longer than any S-record");
      std::size_t used = length;
      while (used > 0 && IsLineEndBlank(scan_.Cursor()[used - 1])) --used;
      if (used > 0) {
        bool ended = false;
        const HexLoad read = Record(scan_.Cursor(), used, &ended);
        if (read != HexLoad::Complete) return read;
        if (ended) {
          FindDroppedLine(length);
          return read;
        }
      }
      // The line and its line feed; the cursor stays on a failing line.
      scan_.Advance(length);
      if (!scan_.AtEnd()) scan_.Advance(1);
    }
  }

  uint64_t Line() const { return scan_.Line(); }

 private:
  // The first line after the end record (of length characters at the
  // cursor) that holds more than blanks: it is not read.
  void FindDroppedLine(std::size_t length) {
    scan_.Advance(length);
    while (!scan_.AtEnd()) {
      scan_.Advance(1);
      const std::size_t next = scan_.LineLength();
      std::size_t used = next;
      while (used > 0 && IsLineEndBlank(scan_.Cursor()[used - 1])) --used;
      if (used > 0) {
        droppedLine_ = scan_.Line();
        return;
      }
      scan_.Advance(next);
    }
  }

  // One record of size characters at text; ended is set by a start record.
  HexLoad Record(const uint8_t* text, std::size_t size, bool* ended) {
    if (size < kRecordHead || text[0] != 'S' || text[1] < '0' || text[1] > '9') {
      return Bad("the line is not an S-record");
    }
    const RecordType type = kTypes[text[1] - '0'];
    if (type.kind == RecordKind::kReserved) {
      problem_ = std::string("record type S") + static_cast<char>(text[1]) + " is not used";
      return HexLoad::UnknownType;
    }
    uint8_t count = 0;
    if (!DecodeHex(text + 2, 1, &count)) return Bad(kNotHex);
    if (size != kRecordHead + 2 * std::size_t{count} || count < type.addressBytes + 1u) {
      return Bad("the record's length does not match its count");
    }
    std::array<uint8_t, 255> bytes{};
    if (!DecodeHex(text + kRecordHead, count, bytes.data())) return Bad(kNotHex);
    unsigned sum = count;
    for (uint8_t i = 0; i < count; ++i) sum += bytes[i];
    if ((sum & 0xFF) != kChecksumSum) {
      problem_ = "the record's checksum does not match";
      return HexLoad::ChecksumError;
    }

    uint32_t address = 0;
    for (uint8_t i = 0; i < type.addressBytes; ++i) address = (address << 8) | bytes[i];
    const auto dataBytes = static_cast<uint8_t>(count - type.addressBytes - 1);
    const uint8_t* data = bytes.data() + type.addressBytes;
    switch (type.kind) {
      case RecordKind::kHeader: break;
      case RecordKind::kData: {
        uint8_t* page = pages_.Add(address, dataBytes);
        std::memcpy(page, data, dataBytes);
        overlap_.Add(address, page, dataBytes, scan_.Line());
      }
        ++dataRecords_;
        break;
      case RecordKind::kCount:
        // A count that disagrees tells of records lost or doubled.
        if (dataBytes != 0 || address != dataRecords_) {
          return Bad("the record count " + std::to_string(address) + " disagrees with the " +
                     std::to_string(dataRecords_) + " data records before it");
        }
        break;
      case RecordKind::kStart:
        if (dataBytes != 0) return Bad("the end record carries data");
        *ended = true;
        break;
      case RecordKind::kReserved: return HexLoad::UnknownType;
    }
    return HexLoad::Complete;
  }

  uint64_t dataRecords_ = 0;
};

}  // namespace

HexReadResult ReadSrec(ByteSource& source, const HexReadHooks& hooks) {
  Reader reader(source, hooks);
  const HexLoad outcome = reader.Run();
  return ResultOf(reader, outcome);
}

}  // namespace zk::dm
