#include "modsim/WirePacer.h"

#include <algorithm>

namespace zk::modsim {
namespace {

constexpr uint64_t kNanosPerByteAtOneBaud = 10'000'000'000ull;  // ten bits per byte

}  // namespace

TimePoint SlotChain::Next(TimePoint ready, uint32_t rate) {
  if (ready >= end_) {  // the line has been idle: the chain starts again
    end_ = ready;
    carry_ = 0;
  }
  end_ += Duration(kNanosPerByteAtOneBaud / rate);
  carry_ += kNanosPerByteAtOneBaud % rate;
  if (carry_ >= rate) {
    end_ += Duration(carry_ / rate);
    carry_ %= rate;
  }
  return end_;
}

void SlotChain::CutAt(TimePoint end) {
  end_ = std::min(end_, end);
  carry_ = 0;
}

void SlotChain::Reset() {
  end_ = {};
  carry_ = 0;
}

Duration WirePacer::ByteTime() const { return Paced() ? Duration(kNanosPerByteAtOneBaud / rate_) : Duration::zero(); }

TimePoint WirePacer::NextTxSlot(TimePoint now) { return Paced() ? tx_.Next(now, rate_) : now; }

TimePoint WirePacer::TxDrain(TimePoint now) const { return std::max(now, tx_.End()); }

TimePoint WirePacer::RxArrival(TimePoint readTime, bool exempt) {
  if (!Paced() || exempt) return readTime;
  return rx_.Next(readTime, rate_);
}

void WirePacer::Reset() {
  tx_.Reset();
  rx_.Reset();
}

}  // namespace zk::modsim
