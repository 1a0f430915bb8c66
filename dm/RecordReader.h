#pragma once
// What the record readers of text images (HEX, S-record) share: the text
// they scan, the pages and the overlap check of the records read, why the
// reading stopped, and the stop check every kHexStopInterval records. Each
// reader adds its records' grammar and the line it reports (ResultOf in
// dm/HexReader.h).
#include "dm/HexReader.h"
#include "dm/TextScanner.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace zk::dm {

class RecordReader {
 public:
  PageImage TakePages() { return pages_.Finish(); }
  const std::string& Problem() const { return problem_; }
  uint64_t DroppedLine() const { return droppedLine_; }
  const RecordOverlap& Overlap() const { return overlap_; }

 protected:
  // longestLine: the most the scanner keeps in view at once.
  RecordReader(ByteSource& source, const HexReadHooks& hooks, std::size_t longestLine)
      : scan_(source, hooks.progress, longestLine), hooks_(hooks) {}

  // Whether a stop is asked for: before the first record, then every
  // kHexStopInterval records.
  bool StopAsked() {
    if (++sinceCheck_ < kHexStopInterval) return false;
    sinceCheck_ = 0;
    return hooks_.stopRequested && hooks_.stopRequested();
  }

  // A format error; problem says what is wrong.
  HexLoad Bad(std::string problem) {
    problem_ = std::move(problem);
    return HexLoad::FormatError;
  }

  TextScanner scan_;
  PageImageBuilder pages_;
  RecordOverlap overlap_;
  std::string problem_;
  uint64_t droppedLine_ = 0;

 private:
  const HexReadHooks& hooks_;
  uint32_t sinceCheck_ = kHexStopInterval;
};

}  // namespace zk::dm
