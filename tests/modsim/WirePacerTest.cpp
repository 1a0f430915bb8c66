#include "modsim/FaultInjector.h"
#include "modsim/LineQueues.h"
#include "modsim/WirePacer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using ::testing::ElementsAre;
const TimePoint kStart = TimePoint{} + std::chrono::hours(1);

TEST(WirePacer, AByteTakesTenBitTimes) {
  WirePacer pacer(true);
  pacer.SetRate(9600);
  EXPECT_EQ(pacer.ByteTime(), Duration(1041666));
  pacer.SetRate(115200);
  EXPECT_EQ(pacer.ByteTime(), Duration(86805));
  pacer.SetRate(0);
  EXPECT_EQ(pacer.ByteTime(), Duration::zero());
  WirePacer off(false);
  off.SetRate(9600);
  EXPECT_EQ(off.NextTxSlot(kStart), kStart);
}

TEST(WirePacer, SlotsChainBackToBackWithoutRoundingDrift) {
  WirePacer pacer(true);
  pacer.SetRate(9600);
  TimePoint end{};
  for (int i = 0; i < 9600; ++i) end = pacer.NextTxSlot(kStart);  // all queued at once
  EXPECT_EQ(end - kStart, std::chrono::seconds(10));
}

TEST(WirePacer, ALateWakeUpDoesNotStretchTheLine) {
  WirePacer pacer(true);
  pacer.SetRate(57600);
  const TimePoint first = pacer.NextTxSlot(kStart);
  // The next byte is queued after a wake-up that came late but before the
  // line was free: its slot follows the first one's, not the wake-up.
  const TimePoint second = pacer.NextTxSlot(first - Microseconds(10));
  EXPECT_EQ(second - first, pacer.ByteTime());
  EXPECT_EQ(pacer.TxDrain(kStart), second);
}

TEST(WirePacer, AnIdleLineStartsTheChainAgainAtTheNextByte) {
  WirePacer pacer(true);
  pacer.SetRate(19200);
  pacer.NextTxSlot(kStart);
  const TimePoint later = kStart + Milliseconds(100);
  EXPECT_EQ(pacer.NextTxSlot(later), later + pacer.ByteTime());
}

TEST(WirePacer, ASpeedSwitchAppliesFromTheNextByte) {
  WirePacer pacer(true);
  pacer.SetRate(19200);
  const TimePoint ack = pacer.NextTxSlot(kStart);
  pacer.SetRate(57600);
  EXPECT_EQ(pacer.NextTxSlot(kStart), ack + pacer.ByteTime());
}

TEST(WirePacer, ReceptionIsPacedFromTheReadTimeExceptExemptBytes) {
  WirePacer pacer(true);
  pacer.SetRate(9600);
  const TimePoint a = pacer.RxArrival(kStart, false);
  EXPECT_EQ(a, kStart + pacer.ByteTime());
  EXPECT_EQ(pacer.RxArrival(kStart, false), a + pacer.ByteTime() + Duration(1));
  EXPECT_EQ(pacer.RxArrival(kStart + Milliseconds(1), true), kStart + Milliseconds(1));
}

TEST(LineQueues, OutputWaitsForTheSlotEndAndKeepsTheByteOnTheWireWhenCut) {
  WirePacer pacer(true);
  pacer.SetRate(9600);
  LineOutput out(pacer, nullptr, nullptr);
  for (uint8_t b : {1, 2, 3, 4}) out.Put(b, kStart);
  EXPECT_TRUE(out.Due(kStart).empty());
  EXPECT_THAT(out.Due(kStart + Microseconds(2100)), ElementsAre(1, 2));
  out.Consume(2);
  out.DiscardPending(kStart + Microseconds(2200));  // byte 3 is on the wire, byte 4 never starts
  EXPECT_THAT(out.Due(kStart + Milliseconds(10)), ElementsAre(3));
  EXPECT_EQ(out.DrainTime(kStart), *out.NextDue());
}

TEST(LineQueues, InputDeliversEachByteAtItsArrival) {
  WirePacer pacer(true);
  pacer.SetRate(9600);
  LineInput in(pacer);
  const uint8_t bytes[] = {7, 8};
  in.Push(bytes, kStart);
  EXPECT_FALSE(in.PopArrived(kStart, false));
  EXPECT_EQ(in.PopArrived(kStart + pacer.ByteTime(), false), 7);
  EXPECT_FALSE(in.PopArrived(kStart + pacer.ByteTime(), false));
  EXPECT_EQ(*in.NextArrival(false), kStart + 2 * pacer.ByteTime() + Duration(1));
}

TEST(LineQueues, LostBytesStillTakeTheirTimeOnTheWire) {
  WirePacer pacer(true);
  pacer.SetRate(9600);
  FaultInjector faults(7, {0, 0, 1.0, 0});
  LineOutput out(pacer, &faults, nullptr);
  out.Put(0x55, kStart);
  EXPECT_TRUE(out.Empty());
  EXPECT_EQ(out.DrainTime(kStart), kStart + pacer.ByteTime());
}

}  // namespace
}  // namespace zk::modsim
