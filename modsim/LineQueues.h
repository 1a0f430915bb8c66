#pragma once
// The two directions of the line between the device and the module's state
// machines: bytes sent wait for the end of their wire slot before they are
// written; bytes read wait for the end of the slot they would have arrived in.
// Line faults (drop, corrupt) are applied on the way.
#include "modsim/ByteSink.h"
#include "modsim/WirePacer.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace zk::modsim {

class FaultInjector;
class Trace;

class LineOutput : public ByteSink {
 public:
  LineOutput(WirePacer& pacer, FaultInjector* faults, Trace* trace) : pacer_(pacer), faults_(faults), trace_(trace) {}

  void Put(uint8_t byte, TimePoint now) override;
  // The far end gets the bytes in packets, as from a USB serial adapter: a
  // packet goes once it holds kPacketBytes or latency after its first byte
  // left the wire (0: every byte as it arrives).
  void SetPacketLatency(Duration latency) { latency_ = latency; }
  static constexpr std::size_t kPacketBytes = 64;
  TimePoint DrainTime(TimePoint now) const override { return pacer_.TxDrain(now); }
  void DiscardPending(TimePoint now) override;

  Deadline NextDue() const;
  // The bytes whose slot has ended by now, oldest first, still queued.
  std::vector<uint8_t> Due(TimePoint now) const;
  // Removes the first `count` bytes (written to the device).
  void Consume(std::size_t count);
  bool Empty() const { return queue_.empty(); }

 private:
  struct Slot {
    uint8_t byte;
    TimePoint due;
  };
  WirePacer& pacer_;
  FaultInjector* faults_;
  Trace* trace_;
  // Holds a byte that left the wire at due back for its packet.
  TimePoint Packed(TimePoint due);

  std::deque<Slot> queue_;
  Duration latency_{};
  std::size_t packetBytes_ = 0;  // bytes of the open packet, at the back of the queue
  TimePoint packetDue_{};        // when the open packet goes, unless it fills first
};

class LineInput {
 public:
  explicit LineInput(WirePacer& pacer) : pacer_(pacer) {}

  void Push(std::span<const uint8_t> bytes, TimePoint readTime);
  // When the oldest byte has arrived; `exempt` bytes count at their read time.
  // Fixed for a byte once asked for.
  Deadline NextArrival(bool exempt);
  // The oldest byte if it has arrived by now.
  std::optional<uint8_t> PopArrived(TimePoint now, bool exempt);
  void Clear();
  bool Empty() const { return queue_.empty(); }

 private:
  struct Read {
    uint8_t byte;
    TimePoint readTime;
  };
  WirePacer& pacer_;
  std::deque<Read> queue_;
  std::optional<TimePoint> headArrival_;
};

}  // namespace zk::modsim
