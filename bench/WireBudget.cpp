#include "bench/WireBudget.h"

#include "common/ModuleCodes.h"

#include <algorithm>

namespace zk::bench {
namespace {

constexpr uint64_t kSenderFraming = 4;    // STX, DLE, ETX, check character
constexpr uint64_t kReceiverReplies = 2;  // DLE after STX, DLE after the check character
constexpr double kBitsPerByte = 10;

}  // namespace

ByteCount MessageBytes(std::span<const uint8_t> payload, bool hostSends) {
  const auto doubled = static_cast<uint64_t>(std::count(payload.begin(), payload.end(), kDle));
  const uint64_t sender = payload.size() + doubled + kSenderFraming;
  return hostSends ? ByteCount{sender, kReceiverReplies} : ByteCount{kReceiverReplies, sender};
}

double WireSeconds(uint64_t bytes, uint32_t rate) { return static_cast<double>(bytes) * kBitsPerByte / rate; }

void WireBudget::AddBytes(const ByteCount& bytes, uint32_t rate) {
  bytes_ += bytes;
  wire_ += WireSeconds(bytes.Total(), rate);
}

void FrameDialogue::Exchange(std::span<const uint8_t> request, std::span<const uint8_t> answer, double busySeconds) {
  if (sinceSend_ < lock_) {
    budget_.AddWait(lock_);
    ++locks_;
  }
  const ByteCount sent = MessageBytes(request, true);
  const ByteCount answered = MessageBytes(answer, false);
  budget_.AddBytes(sent, rate_);
  budget_.AddBytes(answered, rate_);
  budget_.AddWait(busySeconds);
  bytes_ += sent;
  bytes_ += answered;
  // The send clock starts when the request has been taken; the answer
  // (and the module's work on it) passes before the next frame is due.
  sinceSend_ = busySeconds + WireSeconds(answered.Total(), rate_);
}

}  // namespace zk::bench
