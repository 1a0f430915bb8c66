#pragma once
// Writer of a flat image as Intel HEX: data records of 16 bytes from the
// base address (the last one of the image holds what remains), upper-case
// digits, CR LF after each record and ":00000001FF" with LF at the end.
// Addresses above 0xFFFF get an extended linear address record (type 04)
// before the first data record whose upper 16 bits differ from those in
// force (0 at the start); no data record crosses a 64 KB boundary.
#include "dm/ByteStreams.h"

#include <cstdint>
#include <functional>

namespace zk::dm {

enum class HexSave { Done, Stopped, WriteError };

// Bytes of image between two stop checks.
inline constexpr uint32_t kHexSaveStopInterval = 64 * 1024;

// stopRequested is asked before the first record and then every
// kHexSaveStopInterval bytes; a stop leaves in sink what was formatted so far.
HexSave WriteHex(const uint8_t* data, uint32_t length, uint32_t base, ByteSink& sink,
                 const std::function<bool()>& stopRequested);

}  // namespace zk::dm
