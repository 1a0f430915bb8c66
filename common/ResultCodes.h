#pragma once
// The one code space that carries the outcome of every operation through all
// layers. 1..255 fit a byte so that a module status byte passes unchanged.
#include <cstdint>

namespace zk {

using ResultCode = uint32_t;

enum Result : ResultCode {
  kOk = 0x00,
  kFailed = 0x01,
  kBufferTooSmall = 0x02,
  kNoAnswer = 0x10,
  kShortAnswer = 0x11,
  kBlocksRefused = 0x12,
  kInvalidSector = 0x20,
  kNotBlank = 0x21,
  kBlank = 0x22,
  kUnknownError = 0x23,
  kInvalidAddress = 0x30,
  kNotAccessible = 0x31,
  kProtected = 0x40,
  kProtectedByHardware = 0x41,
  kProtectedBySoftware = 0x42,
  kUsedByFirmware = 0x43,
  kPartialAccess = 0x44,
  kNoAccess = 0x45,
  kFullAccess = 0x46,
  kFileLoadError = 0x50,
  kFileSaveError = 0x51,
  kVerifyMismatch = 0x60,
  kNoFlashLibrary = 0x80,
  kNoFlashLibrarySelected = 0x81,
  kInvalidPassword = 0x90,
  kTooFewBytes = 0xA0,
  kBootFileNotSent = 0xB0,
  kBootLoaderNotActive = 0xB1,
  kFlashFileNotSent = 0xB2,
  kCommandNotSupported = 0xB3,
  kReceiveChecksum = 0xB4,
  kNoRamArea = 0xB5,
  kWorkerRunning = 0xC0,
  kFileNotFound = 0xE0,
  kInvalidFileFormat = 0xE1,
  kNoModuleSelected = 0xE2,
  kComPortOpen = 0xE4,
  kComPortInit = 0xE8,
  kOldFirmware = 0xEF,
  kSendFailed = 0xF0,
  kReceiveTimeout = 0xF1,
  kNetDllNotLoaded = 0xF2,
  kNetDllError = 0xF3,
  kNetInitFailed = 0xF4,
  kCmdDllNotLoaded = 0xFA,
  kCmdDllError = 0xFB,
  kUnknownCode = 0xFF,
  kAccessInvalidFileFormat = 0xF00000E1,
  kDmDllNotLoaded = 0xF00000FA,
  kDmDllError = 0xF00000FB,
};

// The message shown for code; "unknown error code" for every code the table
// does not hold (192 included).
const char* ResultMessage(ResultCode code);

}  // namespace zk
