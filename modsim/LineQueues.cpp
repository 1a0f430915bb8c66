#include "modsim/LineQueues.h"

#include "modsim/FaultInjector.h"
#include "modsim/Trace.h"

namespace zk::modsim {

void LineOutput::Put(uint8_t byte, TimePoint now) {
  const TimePoint due = pacer_.NextTxSlot(now);  // a lost byte still takes its time on the wire
  const auto survived = faults_ ? faults_->FilterTx(byte) : std::optional<uint8_t>(byte);
  if (!survived) {
    if (trace_) trace_->Note("fault: byte sent lost", now);
    return;
  }
  if (trace_ && *survived != byte) trace_->Note("fault: byte sent corrupted", now);
  queue_.push_back({*survived, Packed(due)});
}

TimePoint LineOutput::Packed(TimePoint due) {
  if (latency_ == Duration{}) return due;
  if (packetBytes_ == 0 || due > packetDue_) {
    packetBytes_ = 0;
    packetDue_ = due + latency_;
  }
  if (++packetBytes_ < kPacketBytes) return packetDue_;
  // Full: the packet goes with its last byte.
  const std::size_t held = std::min(packetBytes_ - 1, queue_.size());
  for (std::size_t i = queue_.size() - held; i < queue_.size(); ++i) queue_[i].due = due;
  packetBytes_ = 0;
  return due;
}

void LineOutput::DiscardPending(TimePoint now) {
  // The byte on the wire now completes; the ones behind it never start.
  std::size_t keep = 0;
  while (keep < queue_.size() && queue_[keep].due <= now) ++keep;
  if (keep < queue_.size()) ++keep;
  packetBytes_ = 0;
  if (keep < queue_.size()) {
    queue_.resize(keep);
    pacer_.CutTx(queue_.empty() ? now : queue_.back().due);
  }
}

Deadline LineOutput::NextDue() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.front().due;
}

std::vector<uint8_t> LineOutput::Due(TimePoint now) const {
  std::vector<uint8_t> bytes;
  for (const Slot& slot : queue_) {
    if (slot.due > now) break;
    bytes.push_back(slot.byte);
  }
  return bytes;
}

void LineOutput::Consume(std::size_t count) {
  for (std::size_t i = 0; i < count && !queue_.empty(); ++i) queue_.pop_front();
}

void LineInput::Push(std::span<const uint8_t> bytes, TimePoint readTime) {
  for (const uint8_t b : bytes) queue_.push_back({b, readTime});
}

Deadline LineInput::NextArrival(bool exempt) {
  if (queue_.empty()) return std::nullopt;
  if (!headArrival_) headArrival_ = pacer_.RxArrival(queue_.front().readTime, exempt);
  return headArrival_;
}

std::optional<uint8_t> LineInput::PopArrived(TimePoint now, bool exempt) {
  const auto arrival = NextArrival(exempt);
  if (!arrival || now < *arrival) return std::nullopt;
  const uint8_t byte = queue_.front().byte;
  queue_.pop_front();
  headArrival_.reset();
  return byte;
}

void LineInput::Clear() {
  queue_.clear();
  headArrival_.reset();
}

}  // namespace zk::modsim
