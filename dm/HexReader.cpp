#include "dm/HexReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace zk::dm {
namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 20;
constexpr std::size_t kLongestRecord = 1 + 8 + 2 * 255 + 2;
constexpr std::size_t kRecordHead = 8;  // count, address, type
constexpr uint8_t kInvalidNibble = 0x10;

enum RecordType : uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegment = 0x02,
  kStartSegment = 0x03,
  kExtendedLinear = 0x04,
  kStartLinear = 0x05,
};

constexpr std::array<uint8_t, 256> MakeNibbles() {
  std::array<uint8_t, 256> table{};
  for (auto& v : table) v = kInvalidNibble;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<uint8_t>(c - 'A' + 10);
  return table;
}
constexpr std::array<uint8_t, 256> kNibble = MakeNibbles();

// Decodes count bytes from 2 * count hex characters; false on any other
// character.
bool DecodeHex(const uint8_t* text, std::size_t count, uint8_t* out) {
  unsigned bad = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned high = kNibble[text[2 * i]];
    const unsigned low = kNibble[text[2 * i + 1]];
    bad |= high | low;
    out[i] = static_cast<uint8_t>((high << 4) | (low & 0x0F));
  }
  return (bad & kInvalidNibble) == 0;
}

unsigned Sum(const uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

// A window on the source, refilled in large reads.
class Scanner {
 public:
  Scanner(ByteSource& source, const std::function<void(uint64_t)>& progress)
      : source_(source), progress_(progress), buffer_(kReadChunk + kLongestRecord) {}

  const uint8_t* Cursor() const { return buffer_.data() + pos_; }
  void Advance(std::size_t n) { pos_ += n; }
  bool Failed() const { return source_.Failed(); }
  // The line of the cursor, counted from 1.
  uint64_t Line() const {
    return linesBefore_ + static_cast<uint64_t>(std::count(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_), '\n')) + 1;
  }

  // At least n bytes at the cursor, unless the source ends first.
  bool Ensure(std::size_t n) {
    while (end_ - pos_ < n) {
      if (!Refill()) return false;
    }
    return true;
  }

  // Moves the cursor to the next c; false when the source ends first.
  bool SeekTo(uint8_t c) {
    for (;;) {
      const void* hit = std::memchr(buffer_.data() + pos_, c, end_ - pos_);
      if (hit != nullptr) {
        pos_ = static_cast<std::size_t>(static_cast<const uint8_t*>(hit) - buffer_.data());
        return true;
      }
      pos_ = end_;
      if (!Refill()) return false;
    }
  }

  // Moves the cursor to the first ':' that begins the input or follows a
  // line feed.
  bool SeekFirstRecord() {
    for (;;) {
      if (!SeekTo(':')) return false;
      const uint8_t before = pos_ > 0 ? buffer_[pos_ - 1] : before_;
      if (before == '\n') return true;
      Advance(1);
    }
  }

 private:
  // Keeps the unread rest and reads more behind it; false when nothing came.
  bool Refill() {
    if (atEnd_) return false;
    const std::size_t rest = end_ - pos_;
    if (pos_ > 0) {
      linesBefore_ += static_cast<uint64_t>(std::count(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_), '\n'));
      before_ = buffer_[pos_ - 1];
      std::memmove(buffer_.data(), buffer_.data() + pos_, rest);
      consumed_ += pos_;
      pos_ = 0;
      end_ = rest;
    }
    const std::size_t got = source_.Read(buffer_.data() + end_, buffer_.size() - end_);
    end_ += got;
    if (got == 0) atEnd_ = true;
    if (progress_) progress_(consumed_);
    return got > 0;
  }

  ByteSource& source_;
  const std::function<void(uint64_t)>& progress_;
  std::vector<uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  uint64_t consumed_ = 0;  // bytes dropped from the front of the window
  uint64_t linesBefore_ = 0;  // line feeds among them
  uint8_t before_ = '\n';  // the byte before the window; the start counts as a line start
  bool atEnd_ = false;
};

class Reader {
 public:
  Reader(ByteSource& source, const HexReadHooks& hooks) : hooks_(hooks), scan_(source, hooks.progress) {}

  HexLoad Run() {
    if (!scan_.SeekFirstRecord()) return Early();
    uint32_t sinceCheck = kHexStopInterval;
    for (;;) {
      if (++sinceCheck >= kHexStopInterval) {
        sinceCheck = 0;
        if (hooks_.stopRequested && hooks_.stopRequested()) return HexLoad::Stopped;
      }
      if (!scan_.SeekTo(':')) return Early();
      scan_.Advance(1);
      if (!scan_.Ensure(kRecordHead)) return Early();
      uint8_t head[4];
      if (!DecodeHex(scan_.Cursor(), 4, head)) return HexLoad::FormatError;
      scan_.Advance(kRecordHead);
      const uint8_t count = head[0];
      const uint32_t offset = (uint32_t{head[1]} << 8) | head[2];
      const unsigned headSum = Sum(head, 4);

      switch (head[3]) {
        case kData: {
          if (!scan_.Ensure(2 * std::size_t{count} + 2)) return Early();
          uint8_t* data = pages_.Add(base_ + offset, count);
          if (!DecodeHex(scan_.Cursor(), count, data)) return HexLoad::FormatError;
          scan_.Advance(2 * std::size_t{count});
          const HexLoad checked = Verify(headSum + Sum(data, count));
          if (checked != HexLoad::Complete) return checked;
          break;
        }
        case kEndOfFile:
          if (!scan_.Ensure(2)) return Early();
          return Verify(headSum);
        case kExtendedSegment:
        case kExtendedLinear: {
          if (!scan_.Ensure(6)) return Early();
          uint8_t value[2];
          if (!DecodeHex(scan_.Cursor(), 2, value)) return HexLoad::FormatError;
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
          if (!scan_.Ensure(2 * std::size_t{count} + 2)) return Early();
          std::array<uint8_t, 255> value{};
          if (!DecodeHex(scan_.Cursor(), count, value.data())) return HexLoad::FormatError;
          scan_.Advance(2 * std::size_t{count});
          const HexLoad checked = Verify(headSum + Sum(value.data(), count));
          if (checked != HexLoad::Complete) return checked;
          break;
        }
        default:
          return HexLoad::UnknownType;
      }
    }
  }

  PageImage TakePages() { return pages_.Finish(); }
  uint64_t Line() const { return scan_.Line(); }

 private:
  // Reads the checksum at the cursor: Complete when it matches sum.
  HexLoad Verify(unsigned sum) {
    uint8_t checksum = 0;
    if (!DecodeHex(scan_.Cursor(), 1, &checksum)) return HexLoad::FormatError;
    scan_.Advance(2);
    return ((sum + checksum) & 0xFF) == 0 ? HexLoad::Complete : HexLoad::ChecksumError;
  }

  // The input ended before the end-of-file record.
  HexLoad Early() const { return scan_.Failed() ? HexLoad::ReadError : HexLoad::FormatError; }

  const HexReadHooks& hooks_;
  Scanner scan_;
  PageImageBuilder pages_;
  uint32_t base_ = 0;
};

}  // namespace

HexReadResult ReadHex(ByteSource& source, const HexReadHooks& hooks) {
  Reader reader(source, hooks);
  HexReadResult result;
  result.outcome = reader.Run();
  if (result.outcome == HexLoad::Complete)
    result.pages = reader.TakePages();
  else
    result.line = reader.Line();
  return result;
}

}  // namespace zk::dm
