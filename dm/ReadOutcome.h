#pragma once
// The outcome of a read of flash into the image. DmReadFlash makes the read
// buffer the image while the command layer's worker is still filling it;
// the image counts only once that worker has ended with status 0. A read
// that failed or was stopped leaves no image: nothing to save or program.
#include "common/ResultCodes.h"

namespace zk::dm {

// Settles a pending read with the command layer's current status: 192
// leaves it pending, 0 keeps the image, any other status discards it.
void SettleRead(ResultCode commandStatus);

// The same with the status asked of the command layer; a command layer that
// is no longer bound cannot vouch for the read, which then counts as failed.
// Called before anything uses the image and before the command layer's
// status is replaced by another operation or goes with the library.
void SettleRead();

}  // namespace zk::dm
