#pragma once
// A window on a byte source for the readers of text image files: refilled in
// large reads, with the line of the cursor and the count of bytes consumed
// told to a progress hook.
#include "dm/ByteStreams.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zk::dm {

class TextScanner {
 public:
  // longestRecord: the most bytes a reader asks Ensure for at once.
  TextScanner(ByteSource& source, const std::function<void(uint64_t)>& progress, std::size_t longestRecord);

  const uint8_t* Cursor() const { return buffer_.data() + pos_; }
  void Advance(std::size_t n) { pos_ += n; }
  bool Failed() const { return source_.Failed(); }
  // The line of the cursor, counted from 1.
  uint64_t Line() const;

  // At least n bytes at the cursor, unless the source ends first.
  bool Ensure(std::size_t n);
  // Moves the cursor to the next c; false when the source ends first.
  bool SeekTo(uint8_t c);
  // Moves the cursor to the first c that begins the input or follows a
  // line feed.
  bool SeekLineStart(uint8_t c);
  // The bytes at the cursor up to the next line feed (not included, nor
  // a carriage return before it) or the end of the input; the cursor is
  // not moved. Empty at the end. Lines longer than longestRecord are cut
  // there.
  std::size_t LineLength();
  // Whether the input ends at the cursor.
  bool AtEnd();

 private:
  // Keeps the unread rest and reads more behind it; false when nothing came.
  bool Refill();
  // The line feeds in the window before end, counted on from where the
  // last count stopped, so that asking for the line at every record costs
  // no more than one pass over the window.
  uint64_t FeedsBefore(std::size_t end) const;

  ByteSource& source_;
  const std::function<void(uint64_t)>& progress_;
  std::vector<uint8_t> buffer_;
  std::size_t longest_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  uint64_t consumed_ = 0;              // bytes dropped from the front of the window
  uint64_t linesBefore_ = 0;           // line feeds among them
  mutable std::size_t countedTo_ = 0;  // FeedsBefore's count so far
  mutable uint64_t countedFeeds_ = 0;
  uint8_t before_ = '\n';  // the byte before the window; the start counts as a line start
  bool atEnd_ = false;
};

}  // namespace zk::dm
