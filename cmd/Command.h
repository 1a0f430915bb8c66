#pragma once
// Command codes of the target protocol and the fixed request lengths.
#include <cstdint>

namespace zk::cmd {

enum class Command : uint8_t {
  Login = 0x01,
  FindFlashLib = 0x02,
  SectorStatus = 0x03,
  SelectFlashLib = 0x04,
  Program = 0x05,
  Read = 0x06,
  EraseSectors = 0x07,
  Exit = 0x08,
  EraseBlocks = 0x09,
  EraseChip = 0x0A,
  Password = 0x0B,
  BaseAddress = 0x0C,
  FirmwareGeneration = 0x0F,
  SectorStatusNext = 0xF3,
  ReadNext = 0xF6,
  EraseSectorsNext = 0xF7,
  EraseBlocksNext = 0xF9,
};

constexpr uint8_t Code(Command c) { return static_cast<uint8_t>(c); }

// Request lengths, code byte included.
inline constexpr uint16_t kLoginLength = 1;
inline constexpr uint16_t kFindFlashLibLength = 7;
inline constexpr uint16_t kRangeCommandLength = 13;  // 0x03, 0x07, 0x09 and their continuations
inline constexpr uint16_t kSelectFlashLibLength = 6;
inline constexpr uint16_t kProgramHeaderLength = 7;  // plus the data bytes
inline constexpr uint16_t kReadLength = 9;           // 0x06 and 0xF6
inline constexpr uint16_t kExitLength = 6;
inline constexpr uint16_t kEraseChipLength = 1;
inline constexpr uint16_t kPasswordHeaderLength = 5;  // plus the password bytes
inline constexpr uint16_t kBaseAddressLength = 7;
inline constexpr uint16_t kFirmwareGenerationLength = 1;

// The answer byte 0 of a current firmware to command 0x0F.
inline constexpr uint8_t kCurrentFirmwareMarker = 0xEE;

}  // namespace zk::cmd
