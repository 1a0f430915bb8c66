#include "dm/Verifier.h"

#include "common/WorkerThread.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zk::dm {
namespace {

// Reads of a piece at most: the first and two more.
constexpr std::size_t kMostReads = 3;
// The received count of a read whose answer was short: it agrees with no
// other read.
constexpr uint32_t kSpoiltRead = 0xFFFFFFFFu;

struct PieceRead {
  uint32_t received = 0;
  std::array<uint8_t, kVerifyPiece> bytes{};
  bool operator==(const PieceRead& other) const = default;
};

}  // namespace

std::vector<ImageRun> RunsOfPages(std::span<const Page> pages, uint32_t offset) {
  std::vector<ImageRun> runs;
  for (const Page& page : pages) {
    const uint32_t address = page.address + offset;
    if (page.length == 0) continue;
    // Pages come in ascending address order: a page joins the last run when
    // it starts inside it or right after it.
    if (!runs.empty()) {
      ImageRun& last = runs.back();
      const uint64_t lastEnd = uint64_t{last.address} + last.bytes.size();
      if (address >= last.address && address <= lastEnd) {
        const std::size_t at = address - last.address;
        if (at + page.length > last.bytes.size()) last.bytes.resize(at + page.length);
        std::memcpy(last.bytes.data() + at, page.data, page.length);
        continue;
      }
    }
    runs.push_back({address, std::vector<uint8_t>(page.data, page.data + page.length)});
  }
  return runs;
}

Verifier::Verifier(VerifySource& source, uint64_t totalBytes) : source_(source), total_(totalBytes) {}

ResultCode Verifier::Compare(uint32_t address, const uint8_t* data, uint32_t length) {
  for (uint32_t done = 0; done < length;) {
    if (source_.StopRequested()) return kStopped;
    const uint32_t n = std::min(length - done, kVerifyPiece);
    if (const ResultCode rc = source_.CheckSpan(address + done, n); rc != kOk) return rc;
    if (const ResultCode rc = ComparePiece(address + done, data + done, n); rc != kOk) return rc;
    done += n;
    done_ += n;
    source_.Progress(done_, total_);
  }
  return kOk;
}

ResultCode Verifier::ComparePiece(uint32_t address, const uint8_t* expected, uint32_t length) {
  std::array<PieceRead, kMostReads> reads{};
  ResultCode failure = kReceiveChecksum;
  for (std::size_t k = 0; k < kMostReads; ++k) {
    PieceRead& read = reads[k];
    const ResultCode rc = source_.Read(address, length, read.bytes.data(), &read.received);
    if (rc == kShortAnswer) {
      // The line lost bytes of an answer: read it again.
      read.received = kSpoiltRead;
      failure = rc;
      continue;
    }
    if (rc != kOk) return rc;
    failure = kReceiveChecksum;
    if (read.received == length && std::memcmp(read.bytes.data(), expected, length) == 0) {
      result_.compared += length;
      return kOk;
    }
    for (std::size_t i = 0; i < k; ++i) {
      if (reads[i].received != kSpoiltRead && reads[i] == read) {
        Count(address, expected, read.bytes.data(), length, read.received);
        return kOk;
      }
    }
  }
  return failure;
}

void Verifier::Count(uint32_t address, const uint8_t* expected, const uint8_t* found, uint32_t length,
                     uint32_t received) {
  result_.compared += length;
  for (uint32_t i = 0; i < length; ++i) {
    // A byte the module did not send back is not the image's either.
    if (i < received && found[i] == expected[i]) continue;
    ++result_.differing;
    if (result_.firstDifference == kNoDifference) result_.firstDifference = address + i;
  }
}

}  // namespace zk::dm
