#pragma once
// Command codes of the firmware's request/answer protocol.
#include <cstdint>

namespace zk::modsim {

enum class Command : uint8_t {
  kLogin = 0x01,
  kFindFlashLib = 0x02,
  kSectorStatus = 0x03,
  kSelectFlashLib = 0x04,
  kProgram = 0x05,
  kRead = 0x06,
  kEraseSectors = 0x07,
  kExit = 0x08,
  kEraseBlocks = 0x09,
  kEraseChip = 0x0A,
  kPassword = 0x0B,
  kBaseAddress = 0x0C,
  kFirmwareGeneration = 0x0F,
  kSectorStatusMore = 0xF3,
  kReadMore = 0xF6,
  kEraseSectorsMore = 0xF7,
  kEraseBlocksMore = 0xF9,
};

// Status bytes the firmware answers with besides the flash ones.
enum FirmwareStatus : uint8_t {
  kStatusOk = 0x00,
  kStatusNoAccess = 0x45,  // reading before a password was accepted
  kStatusInvalidPassword = 0x90,
  kStatusTooFewBytes = 0xA0,  // the request's length does not match its own fields
  kStatusUnsupported = 0xB3,  // a command this firmware does not know
};

inline constexpr uint8_t kCurrentFirmwareMarker = 0xEE;

}  // namespace zk::modsim
