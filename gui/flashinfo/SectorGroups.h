#pragma once
// The sector table's data: one group per block of equal sectors, over all
// banks, each sector with its protection and blank status. Protection codes
// are result codes: 66 software protected, 68 partial access, 69 no access,
// 70 full access; status codes 0 and 34 blank, 33 not blank, 35 unknown.
#include "common/DmRecords.h"
#include "common/ResultCodes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zk::gui {

inline constexpr ResultCode kStatusUnknown = kUnknownError;  // 35: not determined yet
inline constexpr uint16_t kEndOfBlocks = 0xFFFF;

struct SectorRecord {
  uint32_t start = 0;
  uint32_t end = 0;  // start + size - 1
  ResultCode protection = kFullAccess;
  ResultCode status = kStatusUnknown;
};

struct GroupRecord {
  uint32_t count = 0;
  uint32_t start = 0;
  uint32_t size = 0;
  uint32_t firstSector = 0;
  int bank = 0;
  ResultCode protection = kFullAccess;
  ResultCode status = kStatusUnknown;
  std::vector<SectorRecord> sectors;

  // start + size * count - 1, held within 32 bits.
  uint32_t End() const;
};

// The protected and no-access areas, both ends inclusive.
struct AreaLists {
  std::vector<AddressRange> protectedAreas;
  std::vector<AddressRange> noAccessAreas;
};

// The first protected area that overlaps the sector decides: 66 when the
// sector lies inside it, else 68; none: 70. Then the first overlapping
// no-access area: 69 when the sector lies inside it, else 68 unless 66.
ResultCode ClassifySector(uint32_t start, uint32_t end, const AreaLists& areas);
// Only 70: 70. Any 68, or 70 with 69 or 66: 68. Only 66: 66. Otherwise
// 69 or 66 without 70 give 69; none of the four: 70.
ResultCode GroupProtection(const std::vector<SectorRecord>& sectors);

class CSectorGroups {
 public:
  void Clear();
  // Appends one group per block of bank, numbering the sectors on from the
  // last bank's. A block with sector count 0xFFFF ends the list: false.
  bool AddBlocks(const FlashBlock* blocks, std::size_t count, const AreaLists& areas, int bank = 0);
  // Protected areas enabled: software protected sectors become full access.
  void EnableProtectedAreas();
  // Every sector classified again.
  void Reclassify(const AreaLists& areas);
  void SetGroupStatus(std::size_t group, ResultCode status);  // with all its sectors
  void RecomputeProtection(std::size_t group);

  std::vector<GroupRecord>& Groups() { return groups_; }
  const std::vector<GroupRecord>& Groups() const { return groups_; }
  uint32_t NextSector() const { return nextSector_; }

 private:
  std::vector<GroupRecord> groups_;
  uint32_t nextSector_ = 0;
};

// Row texts.
std::string ProtectionText(ResultCode protection);
std::string StatusText(ResultCode status);
std::string GroupNumberText(const GroupRecord& group);
std::string SectorNumberText(uint32_t number);
std::string RangeText(uint32_t start, uint32_t end);

}  // namespace zk::gui
