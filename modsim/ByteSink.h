#pragma once
// Where the module's state machines put the bytes they send on the line.
#include "modsim/Clock.h"

#include <cstdint>

namespace zk::modsim {

class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Queues one byte; it reaches the far end at its wire slot.
  virtual void Put(uint8_t byte, TimePoint now) = 0;

  // When the last byte queued so far has reached the far end (now when
  // nothing is queued). Reply time-outs start there.
  virtual TimePoint DrainTime(TimePoint now) const = 0;

  // Drops the queued bytes that have not started on the wire yet.
  virtual void DiscardPending(TimePoint now) = 0;
};

}  // namespace zk::modsim
