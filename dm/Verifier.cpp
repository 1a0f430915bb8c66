#include "dm/Verifier.h"

#include "common/WorkerThread.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zk::dm {
namespace {

// The single-byte reads that open each read of a piece: none for the
// first, more for each read again, so that the answers of the rest begin at
// other addresses and a place of every answer that the line spoils holds
// other bytes in each read.
constexpr std::array<uint32_t, 3> kSinglesOfRead = {0, 4, 6};

struct PieceRead {
  bool whole = true;  // no answer came short
  uint32_t received = 0;
  std::array<uint8_t, kVerifyPiece> bytes{};

  // The byte at i as read; a byte the module did not send back reads as
  // none of the 256 values.
  int At(uint32_t i) const { return i < received ? bytes[i] : -1; }
};

// A byte is the image's when a whole read shows it so, and differs when two
// whole reads agree on another value; otherwise it is still open.
uint8_t Decide(const std::vector<PieceRead>& reads, uint32_t i, uint8_t expected) {
  for (std::size_t r = 0; r < reads.size(); ++r) {
    if (!reads[r].whole) continue;
    if (reads[r].At(i) == expected) return kByteMatches;
    for (std::size_t q = r + 1; q < reads.size(); ++q) {
      if (reads[q].whole && reads[q].At(i) == reads[r].At(i)) return kByteDiffers;
    }
  }
  return kByteOpen;
}

// Reads a piece, its first `singles` bytes one read each.
ResultCode ReadPiece(VerifySource& source, uint32_t address, uint32_t length, uint32_t singles, PieceRead& read) {
  uint32_t done = 0;
  while (done < length) {
    const uint32_t part = done < singles ? 1 : length - done;
    uint32_t received = 0;
    const ResultCode rc = source.Read(address + done, part, read.bytes.data() + done, &received);
    if (rc == kShortAnswer) {
      // The line lost bytes of an answer: this read agrees with nothing.
      read.whole = false;
      return kOk;
    }
    if (rc != kOk) return rc;
    read.received = done + received;
    if (received < part) break;
    done += part;
  }
  return kOk;
}

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
  std::vector<PieceRead> reads;
  std::vector<uint8_t> decided(length, kByteOpen);
  for (const uint32_t singles : kSinglesOfRead) {
    PieceRead& read = reads.emplace_back();
    if (const ResultCode rc = ReadPiece(source_, address, length, singles, read); rc != kOk) return rc;
    bool open = false;
    for (uint32_t i = 0; i < length; ++i) {
      if (decided[i] == kByteOpen) decided[i] = Decide(reads, i, expected[i]);
      open = open || decided[i] == kByteOpen;
    }
    if (!open) {
      Count(address, decided);
      return kOk;
    }
  }
  return std::any_of(reads.begin(), reads.end(), [](const PieceRead& r) { return !r.whole; }) ? kShortAnswer
                                                                                              : kReceiveChecksum;
}

void Verifier::Count(uint32_t address, const std::vector<uint8_t>& decided) {
  result_.compared += decided.size();
  for (uint32_t i = 0; i < decided.size(); ++i) {
    if (decided[i] == kByteMatches) continue;
    ++result_.differing;
    if (result_.firstDifference == kNoDifference) result_.firstDifference = address + i;
  }
}

}  // namespace zk::dm
