#pragma once
// Comparing the memory image with the flash: the bytes the image programs,
// as contiguous runs, read back piece by piece. A piece that differs from
// the image is read again, up to twice, each time cut into answers at other
// places: byte by byte, a read that shows the image's byte clears it (the
// first read met a line error), two reads that agree on another value
// confirm the difference (the flash holds it), and a byte still in doubt
// after three reads ends the comparison with kReceiveChecksum (or the
// short-answer code), because the line is too poor to tell either way.
#include "common/DmRecords.h"
#include "common/ResultCodes.h"
#include "dm/PageImage.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zk::dm {

// What the reads of a piece decided for one of its bytes.
enum ByteVerdict : uint8_t { kByteOpen, kByteMatches, kByteDiffers };

// Bytes read per request: what one read answer carries.
inline constexpr uint32_t kVerifyPiece = 250;

// Bytes the image puts at consecutive addresses.
struct ImageRun {
  uint32_t address = 0;
  std::vector<uint8_t> bytes;
};

// The runs a page image programs at offset: adjacent and overlapping pages
// joined, a later page's bytes over an earlier one's, as programming leaves
// them.
std::vector<ImageRun> RunsOfPages(std::span<const Page> pages, uint32_t offset);

// What verification needs from its surroundings.
class VerifySource {
 public:
  virtual ~VerifySource() = default;
  // Reads length bytes at address once into out; *received: how many came.
  virtual ResultCode Read(uint32_t address, uint32_t length, uint8_t* out, uint32_t* received) = 0;
  virtual bool StopRequested() = 0;
  virtual void Progress(uint64_t done, uint64_t total) = 0;
  // The protected-area check of one piece before it is read.
  virtual ResultCode CheckSpan(uint32_t address, uint32_t length) = 0;
};

// Compares data (length bytes meant for address) with the flash, adding to
// result. A stop request ends it with kStopped.
class Verifier {
 public:
  Verifier(VerifySource& source, uint64_t totalBytes);

  ResultCode Compare(uint32_t address, const uint8_t* data, uint32_t length);
  // kOk when nothing differed, else kVerifyMismatch.
  ResultCode Outcome() const { return result_.differing == 0 ? kOk : kVerifyMismatch; }
  const VerifyResult& Result() const { return result_; }

 private:
  ResultCode ComparePiece(uint32_t address, const uint8_t* expected, uint32_t length);
  // decided[i]: kByteMatches or kByteDiffers.
  void Count(uint32_t address, const std::vector<uint8_t>& decided);

  VerifySource& source_;
  uint64_t total_;
  uint64_t done_ = 0;
  VerifyResult result_{0, 0, kNoDifference};
};

}  // namespace zk::dm
