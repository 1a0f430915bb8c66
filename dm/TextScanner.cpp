#include "dm/TextScanner.h"

#include <algorithm>
#include <cstring>

namespace zk::dm {
namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 20;

uint64_t LineFeeds(const std::vector<uint8_t>& buffer, std::size_t from, std::size_t end) {
  return static_cast<uint64_t>(std::count(buffer.begin() + static_cast<std::ptrdiff_t>(from),
                                          buffer.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

}  // namespace

TextScanner::TextScanner(ByteSource& source, const std::function<void(uint64_t)>& progress, std::size_t longestRecord)
    : source_(source), progress_(progress), buffer_(kReadChunk + longestRecord + 1), longest_(longestRecord) {}

uint64_t TextScanner::Line() const { return linesBefore_ + FeedsBefore(pos_) + 1; }

uint64_t TextScanner::FeedsBefore(std::size_t end) const {
  if (end < countedTo_) countedTo_ = countedFeeds_ = 0;
  countedFeeds_ += LineFeeds(buffer_, countedTo_, end);
  countedTo_ = end;
  return countedFeeds_;
}

bool TextScanner::Ensure(std::size_t n) {
  while (end_ - pos_ < n) {
    if (!Refill()) return false;
  }
  return true;
}

bool TextScanner::SeekTo(uint8_t c) {
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

bool TextScanner::SeekLineStart(uint8_t c) {
  for (;;) {
    if (!SeekTo(c)) return false;
    const uint8_t before = pos_ > 0 ? buffer_[pos_ - 1] : before_;
    if (before == '\n') return true;
    Advance(1);
  }
}

std::size_t TextScanner::LineLength() {
  Ensure(longest_ + 1);  // what there is, when the input ends sooner
  const std::size_t available = std::min(end_ - pos_, longest_ + 1);
  const void* feed = std::memchr(buffer_.data() + pos_, '\n', available);
  if (feed == nullptr) return available;
  return static_cast<std::size_t>(static_cast<const uint8_t*>(feed) - Cursor());
}

bool TextScanner::AtEnd() { return !Ensure(1); }

bool TextScanner::Refill() {
  if (atEnd_) return false;
  const std::size_t rest = end_ - pos_;
  if (pos_ > 0) {
    linesBefore_ += FeedsBefore(pos_);
    countedTo_ = countedFeeds_ = 0;
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

}  // namespace zk::dm
