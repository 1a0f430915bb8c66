#pragma once
// The data manager's own result records: sector layout, protected and
// no-access areas, general module facts and image file information.
// Byte-packed and little-endian like the records of Records.h.
#include "common/Records.h"

#include <cstddef>
#include <cstdint>

namespace zk {

#pragma pack(push, 1)

// Sector k of a block spans start + k * sectorSize .. start + (k+1) * sectorSize - 1.
struct FlashBlock {
  uint32_t start;
  uint32_t sectorSize;
  uint16_t sectorCount;
};

struct SectorInfos {
  uint8_t reserved[32];  // the caller's; never written by the data manager
  uint32_t flashSize;
  uint32_t flashId;
  uint16_t blockCount;
  FlashBlock* blocks;  // handed out: given back with DmFreeMemory
};

// Both ends inclusive.
struct AddressRange {
  uint32_t start;
  uint32_t end;
};

struct ProtectedAreas {
  uint16_t protectedCount;
  uint16_t noAccessCount;
  AddressRange* protectedAreas;  // null when the count is 0; handed out
  AddressRange* noAccessAreas;   // null when the count is 0; handed out
};

inline constexpr std::size_t kGeneralInfoTextSize = 32;

struct GeneralInfos {
  char moduleName[kGeneralInfoTextSize];       // zero-terminated
  char microcontroller[kGeneralInfoTextSize];  // zero-terminated
  int32_t flashMode;                           // -1 when absent
};

struct HexFileInfo {
  uint32_t byteCount;
  uint32_t neededSectorCount;
  // {sector start, sector end, sector size} per needed sector; handed out.
  RangeRequest* neededSectors;
};

// What the callers of DmSelectFlashLib fill in: word 0 is matched with
// word 0 of a FlashLibInfo, word 1 with its word 3. The command layer reads
// the first three bytes as its FlashLibSelection.
struct FlashLibSelectionWords {
  uint16_t words[2];
};

// What DmVerifyFlash found: bytes of the image compared with the flash,
// those that differ, and the address of the first that differs
// (kNoDifference when none does).
struct VerifyResult {
  uint32_t compared;
  uint32_t differing;
  uint32_t firstDifference;
};

inline constexpr uint32_t kNoDifference = 0xFFFFFFFFu;

// One stretch of bytes of the image as DmProgFlash(address) would place it,
// both ends inclusive, in 64 bits: a stretch that runs past the top of the
// 32-bit address space shows as one that ends above 0xFFFFFFFF.
struct PlacedSpan {
  uint64_t first;
  uint64_t last;
};

struct ImageSpans {
  uint32_t count;
  PlacedSpan* spans;  // sorted and disjoint; handed out, null when the count is 0
};

#pragma pack(pop)

static_assert(sizeof(FlashBlock) == 10 && offsetof(FlashBlock, sectorSize) == 4 &&
              offsetof(FlashBlock, sectorCount) == 8);
static_assert(sizeof(SectorInfos) == 42 + kPointerSize && offsetof(SectorInfos, flashSize) == 32 &&
              offsetof(SectorInfos, flashId) == 36 && offsetof(SectorInfos, blockCount) == 40 &&
              offsetof(SectorInfos, blocks) == 42);
static_assert(sizeof(AddressRange) == 8 && offsetof(AddressRange, end) == 4);
static_assert(sizeof(ProtectedAreas) == 4 + 2 * kPointerSize && offsetof(ProtectedAreas, noAccessCount) == 2 &&
              offsetof(ProtectedAreas, protectedAreas) == 4 &&
              offsetof(ProtectedAreas, noAccessAreas) == 4 + kPointerSize);
static_assert(sizeof(GeneralInfos) == 68 && offsetof(GeneralInfos, microcontroller) == 32 &&
              offsetof(GeneralInfos, flashMode) == 64);
static_assert(sizeof(HexFileInfo) == 8 + kPointerSize && offsetof(HexFileInfo, neededSectorCount) == 4 &&
              offsetof(HexFileInfo, neededSectors) == 8);
static_assert(sizeof(VerifyResult) == 12 && offsetof(VerifyResult, differing) == 4 &&
              offsetof(VerifyResult, firstDifference) == 8);
static_assert(sizeof(PlacedSpan) == 16 && offsetof(PlacedSpan, last) == 8);
static_assert(sizeof(ImageSpans) == 4 + kPointerSize && offsetof(ImageSpans, spans) == 4);
static_assert(sizeof(FlashLibSelectionWords) == 4 && sizeof(FlashLibSelectionWords) > sizeof(FlashLibSelection));

}  // namespace zk
