#pragma once
// The module's flash: banks at absolute addresses, each one chip (or chips
// side by side) laid out in blocks of equal sectors. Erased bytes read 0xFF,
// programming can only clear bits, erasing works on whole sectors, blocks or
// the chip. The module enforces its own protection: hardware-protected ranges
// answer 0x41 to erasing and programming, ranges the firmware uses answer 0x43
// to every access.
#include "modsim/FlashLayout.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace zk::modsim {

class FaultInjector;

// Module status bytes of the flash commands.
enum FlashStatus : uint8_t {
  kFlashOk = 0x00,
  kFlashNotBlank = 0x21,  // a write would set a bit that is clear; an erase that failed
  kFlashBlank = 0x22,
  kFlashUnknown = 0x23,  // sector status: not accessible
  kFlashBadAddress = 0x30,
  kFlashHardwareProtected = 0x41,
  kFlashFirmwareUsed = 0x43,
  kFlashNoLibrary = 0x80,
  kFlashNoLibrarySelected = 0x81,
};

struct AddressRange {
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
  bool Meets(uint32_t a, uint32_t b) const { return a <= end && b >= start; }
};

struct FlashLibrary {
  std::array<uint16_t, 4> words{};  // w0 .. w3 as the find command reports them
};

struct FlashBank {
  uint32_t start = 0;
  uint8_t mode = 1;
  FlashLayout layout;  // with the mode factor applied
  std::vector<FlashLibrary> libraries;
  std::vector<AddressRange> hardwareProtected;
  std::vector<AddressRange> firmwareUsed;

  uint32_t End() const { return start + layout.Size() - 1; }
};

struct SectorOutcome {
  uint32_t address = 0;
  uint8_t status = 0;
};

struct EraseResult {
  uint8_t status = kFlashOk;          // 0, or the status of the first sector that failed
  std::vector<SectorOutcome> failed;  // sectors not erased, with their status
  uint32_t erasedSectors = 0;         // sectors erased (what the erase time counts)
};

class FlashModel {
 public:
  // Called with the content offset and size of every change.
  using ChangeObserver = std::function<void(std::size_t offset, std::size_t size)>;

  explicit FlashModel(std::vector<FlashBank> banks);

  const std::vector<FlashBank>& Banks() const { return banks_; }
  std::optional<std::size_t> BankContaining(uint32_t address) const;
  std::optional<std::size_t> BankStartingAt(uint32_t start) const;

  // All banks' bytes, bank after bank.
  std::span<const uint8_t> Content() const { return content_; }
  std::span<uint8_t> MutableContent() { return content_; }
  void SetObserver(ChangeObserver observer) { observer_ = std::move(observer); }

  uint8_t Program(uint32_t address, std::span<const uint8_t> data);
  uint8_t CheckRead(uint32_t address, uint32_t length) const;
  // Only after CheckRead gave 0 for a range covering it.
  void Read(uint32_t address, std::span<uint8_t> out) const;

  EraseResult EraseSectors(uint32_t start, uint32_t end, FaultInjector* faults);
  EraseResult EraseBlocks(uint32_t start, uint32_t end, FaultInjector* faults);
  EraseResult EraseChip(std::size_t bank, FaultInjector* faults);

  // One entry per step from start to end: 33 not blank, 34 blank, 35 not
  // accessible. Status 0x30 for an empty step, a reversed range or more than
  // 65535 entries.
  uint8_t SectorStatus(uint32_t start, uint32_t end, uint32_t step, std::vector<SectorOutcome>& entries) const;

 private:
  struct Span {
    uint32_t start;
    uint32_t size;
    uint32_t sectors;
  };
  // The bank holding all of [address, address + length - 1].
  std::optional<std::size_t> BankHolding(uint32_t address, uint64_t length) const;
  uint8_t Protection(const FlashBank& bank, uint32_t a, uint32_t b, bool forWriting) const;
  std::size_t Offset(std::size_t bank, uint32_t address) const {
    return bankOffsets_[bank] + (address - banks_[bank].start);
  }
  EraseResult Erase(std::size_t bank, const std::vector<Span>& units, FaultInjector* faults);
  std::vector<Span> SectorsOf(std::size_t bank) const;
  std::vector<Span> BlocksOf(std::size_t bank) const;
  void Changed(std::size_t offset, std::size_t size);

  std::vector<FlashBank> banks_;
  std::vector<std::size_t> bankOffsets_;
  std::vector<uint8_t> content_;
  ChangeObserver observer_;
};

}  // namespace zk::modsim
