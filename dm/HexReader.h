#pragma once
// Reader of Intel HEX files into the page form of the memory image. Records
// are found by their ':' mark (the first one at the start of a line);
// whatever stands between records is passed over. Hex digits are '0'-'9'
// and 'A'-'F' only. Data records are placed at the extended linear address
// (type 04) shifted left by 16, or at the extended segment address (type 02)
// times 16, plus the record's own address. Types 03 and 05 are not used;
// every record's checksum is checked, whatever its type.
#include "dm/ByteStreams.h"
#include "dm/PageImage.h"
#include "dm/RecordOverlap.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zk::dm {

enum class HexLoad {
  Complete,       // end-of-file record read
  ChecksumError,  // a record's checksum does not match
  UnknownType,    // a record type other than 00..05
  FormatError,    // no record, a character that is not a hex digit, or the end came early
  ReadError,      // the source failed
  Stopped,        // the stop check asked to stop
  Overlap,        // two records give an address different values
};

struct HexReadHooks {
  // Asked before the first record and then every kHexStopInterval records.
  std::function<bool()> stopRequested;
  // Told the count of characters consumed, every time more are read.
  std::function<void(uint64_t consumed)> progress;
};

inline constexpr uint32_t kHexStopInterval = 4096;

struct HexReadResult {
  HexLoad outcome = HexLoad::FormatError;
  PageImage pages;    // complete loads only
  uint64_t line = 0;  // the others: the line where reading stopped, from 1; 0: no line
  // A format, checksum or type error: what is wrong, for a message.
  std::string problem;
  std::optional<RecordConflict> conflict;  // Overlap only
  // Complete loads: the line of the first record after the end record,
  // which is not read; 0 when none follows.
  uint64_t droppedLine = 0;
};

// The outcome of a reader's records once the end record is read: Overlap
// (and the conflict) when two records disagree.
void SettleRecords(HexReadResult& result, const RecordOverlap& overlap);

// The result of a record reader (HEX or S-record) whose run ended with
// outcome: its pages when complete, else where and why it stopped.
template <typename RecordReader>
HexReadResult ResultOf(RecordReader& reader, HexLoad outcome) {
  HexReadResult result;
  result.outcome = outcome;
  result.droppedLine = reader.DroppedLine();
  SettleRecords(result, reader.Overlap());
  if (result.outcome == HexLoad::Complete) {
    result.pages = reader.TakePages();
  } else if (result.outcome != HexLoad::Overlap) {
    result.line = reader.Line();
    result.problem = reader.Problem();
  }
  return result;
}

HexReadResult ReadHex(ByteSource& source, const HexReadHooks& hooks);

}  // namespace zk::dm
