#pragma once
// Wire time of a serial line, 8N1: every byte takes ten bit times of the
// current rate in each direction. Slots are chained against absolute
// deadlines: a byte's slot starts where the previous one ended (or now, when
// the line has been idle), so a late wake-up never stretches the line.
#include "modsim/Clock.h"

#include <cstdint>

namespace zk::modsim {

// A chain of back-to-back byte slots in one direction. The byte time is
// 10^10 / rate nanoseconds; the remainder is carried, so n bytes take exactly
// n * 10 / rate seconds however long the chain.
class SlotChain {
 public:
  // The end of the next slot for a byte that is ready at `ready`.
  TimePoint Next(TimePoint ready, uint32_t rate);
  // When the line is free again (the end of the last slot).
  TimePoint End() const { return end_; }
  // Makes the line free at `end` (bytes after it were withdrawn).
  void CutAt(TimePoint end);
  void Reset();

 private:
  TimePoint end_{};
  uint64_t carry_ = 0;  // remainder of the byte times so far, in 1/rate ns
};

class WirePacer {
 public:
  explicit WirePacer(bool emulate) : emulate_(emulate) {}

  // The rate both directions run at; 0 while unknown (no pacing then).
  void SetRate(uint32_t baud) { rate_ = baud; }
  uint32_t Rate() const { return rate_; }
  bool Paced() const { return emulate_ && rate_ != 0; }

  // Wire time of one byte at the current rate, 0 when not paced.
  Duration ByteTime() const;

  // Sending: the time a byte queued at `now` has fully reached the far end.
  TimePoint NextTxSlot(TimePoint now);
  // When everything sent so far has reached the far end.
  TimePoint TxDrain(TimePoint now) const;
  // The queued bytes after the one ending at `end` were withdrawn.
  void CutTx(TimePoint end) { tx_.CutAt(end); }

  // Receiving: when a byte read from the device at `readTime` would have
  // finished arriving on the wire. An exempt byte counts at its read time.
  TimePoint RxArrival(TimePoint readTime, bool exempt);

  void Reset();

 private:
  bool emulate_;
  uint32_t rate_ = 0;
  SlotChain tx_;
  SlotChain rx_;
};

}  // namespace zk::modsim
