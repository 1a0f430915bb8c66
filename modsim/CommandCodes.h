#pragma once
// Status bytes and limits of the firmware's request/answer protocol; the
// request codes are the shared ones of common/ModuleCodes.h.
#include "common/ModuleCodes.h"

#include <cstdint>

namespace zk::modsim {

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
