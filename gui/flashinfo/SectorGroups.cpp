#include "gui/flashinfo/SectorGroups.h"

#include <algorithm>
#include <cstdio>

namespace zk::gui {
namespace {

constexpr uint64_t kTop = 0xFFFFFFFFu;

uint32_t LastAddress(uint32_t start, uint64_t length) {
  if (length == 0) return start;
  return static_cast<uint32_t>(std::min<uint64_t>(start + length - 1, kTop));
}

bool Overlaps(const AddressRange& area, uint32_t start, uint32_t end) { return area.end >= start && end >= area.start; }

bool Inside(const AddressRange& area, uint32_t start, uint32_t end) { return start >= area.start && end <= area.end; }

}  // namespace

uint32_t GroupRecord::End() const { return LastAddress(start, static_cast<uint64_t>(size) * count); }

ResultCode ClassifySector(uint32_t start, uint32_t end, const AreaLists& areas) {
  ResultCode code = kFullAccess;
  for (const AddressRange& area : areas.protectedAreas) {
    if (!Overlaps(area, start, end)) continue;
    code = Inside(area, start, end) ? kProtectedBySoftware : kPartialAccess;
    break;
  }
  for (const AddressRange& area : areas.noAccessAreas) {
    if (!Overlaps(area, start, end)) continue;
    if (Inside(area, start, end)) {
      code = kNoAccess;
    } else if (code != kProtectedBySoftware) {
      code = kPartialAccess;
    }
    break;
  }
  return code;
}

ResultCode GroupProtection(const std::vector<SectorRecord>& sectors) {
  bool full = false, partial = false, none = false, software = false;
  for (const SectorRecord& sector : sectors) {
    switch (sector.protection) {
      case kFullAccess: full = true; break;
      case kPartialAccess: partial = true; break;
      case kNoAccess: none = true; break;
      case kProtectedBySoftware: software = true; break;
      default: break;
    }
  }
  if (partial || (full && (none || software))) return kPartialAccess;
  if (full) return kFullAccess;
  if (software && !none) return kProtectedBySoftware;
  if (none || software) return kNoAccess;
  return kFullAccess;
}

void CSectorGroups::Clear() {
  groups_.clear();
  nextSector_ = 0;
}

bool CSectorGroups::AddBlocks(const FlashBlock* blocks, std::size_t count, const AreaLists& areas, int bank) {
  for (std::size_t n = 0; n < count; ++n) {
    const FlashBlock& block = blocks[n];
    if (block.sectorCount == kEndOfBlocks) return false;
    if (block.sectorCount == 0) continue;
    GroupRecord group;
    group.count = block.sectorCount;
    group.start = block.start;
    group.size = block.sectorSize;
    group.firstSector = nextSector_;
    group.bank = bank;
    nextSector_ += group.count;
    group.sectors.resize(group.count);
    for (uint32_t k = 0; k < group.count; ++k) {
      SectorRecord& sector = group.sectors[k];
      sector.start = static_cast<uint32_t>(group.start + static_cast<uint64_t>(k) * group.size);
      sector.end = LastAddress(sector.start, group.size);
      sector.protection = ClassifySector(sector.start, sector.end, areas);
    }
    group.protection = GroupProtection(group.sectors);
    groups_.push_back(std::move(group));
  }
  return true;
}

void CSectorGroups::EnableProtectedAreas() {
  for (GroupRecord& group : groups_) {
    for (SectorRecord& sector : group.sectors) {
      if (sector.protection == kProtectedBySoftware) sector.protection = kFullAccess;
    }
    group.protection = GroupProtection(group.sectors);
  }
}

void CSectorGroups::Reclassify(const AreaLists& areas) {
  for (GroupRecord& group : groups_) {
    for (SectorRecord& sector : group.sectors) sector.protection = ClassifySector(sector.start, sector.end, areas);
    group.protection = GroupProtection(group.sectors);
  }
}

void CSectorGroups::SetGroupStatus(std::size_t group, ResultCode status) {
  if (group >= groups_.size()) return;
  groups_[group].status = status;
  for (SectorRecord& sector : groups_[group].sectors) sector.status = status;
}

void CSectorGroups::RecomputeProtection(std::size_t group) {
  if (group < groups_.size()) groups_[group].protection = GroupProtection(groups_[group].sectors);
}

std::string ProtectionText(ResultCode protection) {
  switch (protection) {
    case kProtectedBySoftware: return "software protected";
    case kPartialAccess: return "partial access";
    case kNoAccess: return "no access";
    default: return "full access";
  }
}

std::string StatusText(ResultCode status) {
  switch (status) {
    case kOk:
    case kBlank: return "blank";
    case kNotBlank: return "not blank";
    default: return "unknown";
  }
}

std::string GroupNumberText(const GroupRecord& group) {
  char text[48];
  std::snprintf(text, sizeof text, "Sector %u - %u", group.firstSector, group.firstSector + group.count - 1);
  return text;
}

std::string SectorNumberText(uint32_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "Sector %u", number);
  return text;
}

std::string RangeText(uint32_t start, uint32_t end) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%.8X - 0x%.8X", start, end);
  return text;
}

}  // namespace zk::gui
