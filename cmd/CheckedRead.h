#pragma once
// A read of flash that hands over only bytes two reads agree on. The 3964R
// check character lets through two flips of the same bit in one block, and
// a line or an adapter may spoil the same places of every answer, so the
// two reads are cut into answers at different places (the second one's
// answers begin half an answer later): a byte spoilt at a fixed place of an
// answer then lies at other addresses in each read. Bytes on which they
// differ are read again, each time cut elsewhere, until two reads agree on
// every byte. An answer that carried fewer bytes than it states agrees
// with nothing.
#include "cmd/ReadPass.h"

#include <cstdint>
#include <functional>

namespace zk::cmd {

class Session;

// Told the bytes read so far of both reads (0 .. 2 * length) before every
// continuation; true stops.
using CheckedReadProgress = std::function<bool(uint64_t done)>;

// Reads [start, start + length), which lies in one bank, into out (room for
// length bytes).
ReadPassEnd ReadChecked(Session& session, uint32_t start, uint32_t length, uint8_t* out,
                        const CheckedReadProgress& progress);

}  // namespace zk::cmd
