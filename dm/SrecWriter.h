#pragma once
// Writer of a flat image as Motorola S-records: an S0 header without text,
// data records of 16 bytes from the base address (the last one holds what
// remains) with the narrowest address the image's last byte needs (S1 up to
// 0xFFFF, S2 up to 0xFFFFFF, S3 above), a count record (S5, or S6 past
// 0xFFFF records; none past 0xFFFFFF) and the matching start record (S9,
// S8, S7) with address 0, the image having no start address. Upper-case
// digits, CR LF after each record.
#include "dm/ByteStreams.h"
#include "dm/HexWriter.h"

#include <cstdint>
#include <functional>

namespace zk::dm {

// stopRequested is asked before the first record and then every
// kHexSaveStopInterval bytes; a stop leaves in sink what was formatted so far.
HexSave WriteSrec(const uint8_t* data, uint32_t length, uint32_t base, ByteSink& sink,
                  const std::function<bool()>& stopRequested);

}  // namespace zk::dm
