#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace zk {
namespace {

std::atomic<uint32_t> gFakeNow{0};
uint32_t FakeNow() { return gFakeNow.load(); }

class InjectedTicks : public ::testing::Test {
 protected:
  void SetUp() override { SetTickSource(&FakeNow); }
  void TearDown() override { SetTickSource(nullptr); }
};

TEST_F(InjectedTicks, ElapsedTimeIsRightAcrossTheWrap) {
  gFakeNow = 0xFFFFFFFAu;
  const uint32_t start = GetTickCount();
  EXPECT_EQ(start, 0xFFFFFFFAu);
  gFakeNow = 5;
  EXPECT_EQ(TicksSince(start, GetTickCount()), 11u);
  EXPECT_EQ(TicksSince(0xFFFFFFF0u, 0x10u), 0x20u);
  EXPECT_EQ(TicksSince(100, 100), 0u);
}

TEST(Ticks, SteadyClockInMillisecondsWhenNothingIsInjected) {
  SetTickSource(nullptr);
  const auto steady =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  const uint32_t first = GetTickCount();
  const uint32_t second = GetTickCount();
  EXPECT_LT(TicksSince(first, second), 1000u);  // never runs backwards
  EXPECT_LT(TicksSince(static_cast<uint32_t>(steady.count()), first), 1000u);
}

}  // namespace
}  // namespace zk
