#include "modsim/FlashModel.h"

#include "modsim/FaultInjector.h"

#include <algorithm>

namespace zk::modsim {
namespace {

constexpr uint8_t kErased = 0xFF;
constexpr uint64_t kMaxStatusEntries = 0xFFFF;
constexpr uint8_t kSectorNotBlank = 33;
constexpr uint8_t kSectorBlank = 34;
constexpr uint8_t kSectorUnknown = 35;

}  // namespace

FlashModel::FlashModel(std::vector<FlashBank> banks) : banks_(std::move(banks)) {
  std::size_t total = 0;
  for (const auto& bank : banks_) {
    bankOffsets_.push_back(total);
    total += bank.layout.Size();
  }
  content_.assign(total, kErased);
}

std::optional<std::size_t> FlashModel::BankContaining(uint32_t address) const {
  for (std::size_t i = 0; i < banks_.size(); ++i) {
    if (address >= banks_[i].start && address <= banks_[i].End()) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> FlashModel::BankStartingAt(uint32_t start) const {
  for (std::size_t i = 0; i < banks_.size(); ++i) {
    if (banks_[i].start == start) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> FlashModel::BankHolding(uint32_t address, uint64_t length) const {
  const auto bank = BankContaining(address);
  if (!bank || length == 0 || address + length - 1 > banks_[*bank].End()) return std::nullopt;
  return bank;
}

uint8_t FlashModel::Protection(const FlashBank& bank, uint32_t a, uint32_t b, bool forWriting) const {
  for (const auto& range : bank.firmwareUsed) {
    if (range.Meets(a, b)) return kFlashFirmwareUsed;
  }
  if (forWriting) {
    for (const auto& range : bank.hardwareProtected) {
      if (range.Meets(a, b)) return kFlashHardwareProtected;
    }
  }
  return kFlashOk;
}

void FlashModel::Changed(std::size_t offset, std::size_t size) {
  if (observer_ && size != 0) observer_(offset, size);
}

uint8_t FlashModel::Program(uint32_t address, std::span<const uint8_t> data) {
  if (data.empty()) return kFlashOk;
  const auto bank = BankHolding(address, data.size());
  if (!bank) return kFlashBadAddress;
  const uint32_t last = static_cast<uint32_t>(address + data.size() - 1);
  if (const uint8_t status = Protection(banks_[*bank], address, last, true)) return status;
  const std::size_t offset = Offset(*bank, address);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if ((content_[offset + i] & data[i]) != data[i]) return kFlashNotBlank;  // would set a bit
  }
  std::copy(data.begin(), data.end(), content_.begin() + static_cast<std::ptrdiff_t>(offset));
  Changed(offset, data.size());
  return kFlashOk;
}

uint8_t FlashModel::CheckRead(uint32_t address, uint32_t length) const {
  if (length == 0) return kFlashOk;
  const auto bank = BankHolding(address, length);
  if (!bank) return kFlashBadAddress;
  return Protection(banks_[*bank], address, address + length - 1, false);
}

void FlashModel::Read(uint32_t address, std::span<uint8_t> out) const {
  if (out.empty()) return;
  const auto bank = BankHolding(address, out.size());
  if (!bank) return;
  const auto from = content_.begin() + static_cast<std::ptrdiff_t>(Offset(*bank, address));
  std::copy(from, from + static_cast<std::ptrdiff_t>(out.size()), out.begin());
}

std::vector<FlashModel::Span> FlashModel::SectorsOf(std::size_t bank) const {
  std::vector<Span> sectors;
  for (const auto& block : banks_[bank].layout.blocks) {
    for (uint32_t k = 0; k < block.sectorCount; ++k) {
      sectors.push_back({banks_[bank].start + block.offset + k * block.sectorSize, block.sectorSize, 1});
    }
  }
  return sectors;
}

std::vector<FlashModel::Span> FlashModel::BlocksOf(std::size_t bank) const {
  std::vector<Span> blocks;
  for (const auto& block : banks_[bank].layout.blocks) {
    blocks.push_back({banks_[bank].start + block.offset, block.End() - block.offset, block.sectorCount});
  }
  return blocks;
}

EraseResult FlashModel::Erase(std::size_t bank, const std::vector<Span>& units, FaultInjector* faults) {
  EraseResult result;
  for (const Span& unit : units) {
    const uint32_t last = unit.start + unit.size - 1;
    uint8_t status = Protection(banks_[bank], unit.start, last, true);
    if (status == kFlashOk && faults && faults->Check(FaultKind::kEraseFail)) status = kFlashNotBlank;
    if (status != kFlashOk) {
      if (result.failed.empty()) result.status = status;
      result.failed.push_back({unit.start, status});
      continue;
    }
    const std::size_t offset = Offset(bank, unit.start);
    std::fill_n(content_.begin() + static_cast<std::ptrdiff_t>(offset), unit.size, kErased);
    Changed(offset, unit.size);
    result.erasedSectors += unit.sectors;
  }
  return result;
}

namespace {

template <typename Units>
Units Meeting(const Units& all, uint32_t start, uint32_t end) {
  Units picked;
  for (const auto& unit : all) {
    if (unit.start <= end && unit.start + unit.size - 1 >= start) picked.push_back(unit);
  }
  return picked;
}

}  // namespace

EraseResult FlashModel::EraseSectors(uint32_t start, uint32_t end, FaultInjector* faults) {
  const auto bank = end >= start ? BankHolding(start, static_cast<uint64_t>(end) - start + 1) : std::nullopt;
  if (!bank) return {kFlashBadAddress, {}, 0};
  return Erase(*bank, Meeting(SectorsOf(*bank), start, end), faults);
}

EraseResult FlashModel::EraseBlocks(uint32_t start, uint32_t end, FaultInjector* faults) {
  const auto bank = end >= start ? BankHolding(start, static_cast<uint64_t>(end) - start + 1) : std::nullopt;
  if (!bank) return {kFlashBadAddress, {}, 0};
  return Erase(*bank, Meeting(BlocksOf(*bank), start, end), faults);
}

EraseResult FlashModel::EraseChip(std::size_t bank, FaultInjector* faults) {
  if (bank >= banks_.size()) return {kFlashBadAddress, {}, 0};
  return Erase(bank, SectorsOf(bank), faults);
}

uint8_t FlashModel::SectorStatus(uint32_t start, uint32_t end, uint32_t step,
                                 std::vector<SectorOutcome>& entries) const {
  entries.clear();
  if (step == 0 || end < start) return kFlashBadAddress;
  const uint64_t count = (static_cast<uint64_t>(end) - start) / step + 1;
  if (count > kMaxStatusEntries) return kFlashBadAddress;
  for (uint64_t k = 0; k < count; ++k) {
    const uint64_t a = start + k * step;
    const uint64_t b = std::min<uint64_t>(a + step - 1, end);
    const auto bank = BankHolding(static_cast<uint32_t>(a), b - a + 1);
    uint8_t status = kSectorUnknown;
    if (bank && Protection(banks_[*bank], static_cast<uint32_t>(a), static_cast<uint32_t>(b), false) == 0) {
      const auto from = content_.begin() + static_cast<std::ptrdiff_t>(Offset(*bank, static_cast<uint32_t>(a)));
      const bool blank =
          std::all_of(from, from + static_cast<std::ptrdiff_t>(b - a + 1), [](uint8_t v) { return v == kErased; });
      status = blank ? kSectorBlank : kSectorNotBlank;
    }
    entries.push_back({static_cast<uint32_t>(a), status});
  }
  return kFlashOk;
}

}  // namespace zk::modsim
