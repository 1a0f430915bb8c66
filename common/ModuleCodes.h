#pragma once
// The byte codes on the wire between host and module: the control characters
// of the 3964R procedure, the request codes of the firmware's command
// protocol and the frame bytes of the boot loader.
// The command layer sends them and the simulator answers them; the tests of
// both check the values against literal bytes.
#include <cstdint>

namespace zk {

// 3964R control characters; variables, so that one can be written by address.
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kEtb = 0x17;

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

// Boot loader bytes; some codes mean different things at different stages.
enum BootByte : uint8_t {
  kBootAck = 0x06,
  kBootData = 0x02,
  kBootNak = 0x15,
  kBootMemoryWrite = 0x01,
  kBootSpeedSwitch = 0x07,
  kBootRange = 0x10,
  kBootStart = 0x06,
  kBootStartMarker = 0x07,
  kBootEndOfBootCode = 0x30,
  kBootCodeAccepted = 0xAA,
};

}  // namespace zk
