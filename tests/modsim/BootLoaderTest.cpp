#include "TestSupport.h"
#include "modsim/BootLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using namespace test;
using ::testing::ElementsAre;

class Listener : public BootListener {
 public:
  uint32_t MeasureHostRate() override { return hostRate; }
  void OnRate(uint32_t baud, TimePoint) override { rates.push_back(baud); }
  void OnFirmwareStart(TimePoint) override { ++firmwareStarts; }
  uint32_t hostRate = 19200;
  std::vector<uint32_t> rates;
  int firmwareStarts = 0;
};

const Bytes kBootCode = {0x30, 0x00, 0x10, 0x55};

RecordFile Firmware() {
  RecordFile file;
  file.records.push_back({0x200001, {1, 2, 3}, RecordType::kMemory});
  return file;
}

BootParams Params() {
  BootParams p;
  p.bootCode = kBootCode;
  p.firmware = Firmware();
  p.ramStart = 0x200000;
  p.ramEnd = 0x2000FF;
  return p;
}

Bytes MemoryWrite(uint32_t address, const Bytes& data) {
  Bytes frame = {0x01, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                 static_cast<uint8_t>(address), static_cast<uint8_t>(data.size())};
  frame.insert(frame.end(), data.begin(), data.end());
  return WithChecksum(frame);
}

class BootLoaderTest : public MachineTest {
 protected:
  Bytes Feed(const Bytes& bytes) { return FeedTo(boot_, bytes, Microseconds(50)); }
  void Wait(Duration d) {
    clock_.Advance(d);
    boot_.OnTimer(clock_.Now());
  }
  // Through the boot download up to the running boot code.
  void ToBootCode() {
    Feed({0x00});
    Wait(Milliseconds(50));
    ASSERT_THAT(sink_.Take(), ElementsAre(0x5A));
    EXPECT_TRUE(boot_.ExemptFromPacing());
    EXPECT_TRUE(Feed(kBootCode).empty());
    ASSERT_EQ(boot_.stage(), BootLoader::Stage::kBootRunning);
  }
  void AnnounceAndStart(uint32_t start, const Bytes& startEcho = {}) {
    const Bytes range = WithChecksum({0x10, static_cast<uint8_t>(start >> 16), static_cast<uint8_t>(start >> 8),
                                      static_cast<uint8_t>(start), 0x00, 0x04});
    ASSERT_THAT(Feed(range), ElementsAre(0x06));
    Bytes frame = {0x06, range[1], range[2], range[3], 0x07, range[5], range[6]};
    if (!startEcho.empty()) frame = startEcho;
    last_ = Feed(WithChecksum(frame));
  }
  // Loads firmware at 0x200001 through the boot code and starts it.
  void LoadAndStart(const Bytes& firmware, const Bytes& startEcho = {}) {
    ToBootCode();
    Feed(MemoryWrite(0x200001, firmware));
    AnnounceAndStart(0x200001, startEcho);
  }

  Listener listener_;
  BootLoader boot_{Params(), sink_, listener_, &faults_, nullptr};
  Bytes last_;
};

TEST_F(BootLoaderTest, HandshakeAnswersTheComplementAndStartsTheFirmwareAtTheIndexRate) {
  EXPECT_TRUE(Feed({0x00, 0x00}).empty());
  EXPECT_TRUE(Feed({0x0B}).empty());  // no index byte: ignored
  EXPECT_THAT(Feed({0x09}), ElementsAre(0xF6));
  EXPECT_THAT(listener_.rates, ElementsAre(19200, 57600));
  EXPECT_EQ(listener_.firmwareStarts, 1);
}

TEST_F(BootLoaderTest, HandshakeEchoFaultAnswersTheIndexUnchangedEveryTime) {
  faults_.AddRule({FaultKind::kHandshakeEcho, 0, std::nullopt});
  Feed({0x00, 0x00});
  for (int i = 0; i < 10; ++i) EXPECT_THAT(Feed({0x07}), ElementsAre(0x07));
  EXPECT_EQ(listener_.firmwareStarts, 0);
}

TEST_F(BootLoaderTest, BootDownloadRunsTheExpectedBootCodeAndAnswersTheCheck) {
  ToBootCode();
  EXPECT_THAT(Feed({0x30}), ElementsAre(0xAA));
}

TEST_F(BootLoaderTest, ABootCodeWithALostByteHangsTheModule) {
  Feed({0x00});
  Wait(Milliseconds(50));
  sink_.Take();
  Feed({0x30, 0x10, 0x55});  // the 0x00 was lost: the check byte completes the count
  EXPECT_TRUE(Feed({0x30}).empty());
  EXPECT_EQ(boot_.stage(), BootLoader::Stage::kHung);
  EXPECT_TRUE(Feed({0x30}).empty());
  Wait(Milliseconds(900));  // the host's reset sequence on a silent line
  EXPECT_EQ(boot_.stage(), BootLoader::Stage::kReset);
}

TEST_F(BootLoaderTest, MemoryWritesAreCheckedAndAcknowledged) {
  ToBootCode();
  EXPECT_THAT(Feed(MemoryWrite(0x200001, {1, 2, 3})), ElementsAre(0x06));

  Bytes bad = MemoryWrite(0x200001, {1, 2, 3});
  bad.back() ^= 1;
  EXPECT_THAT(Feed(bad), ElementsAre(0x15, 0x00, 0x02, static_cast<uint8_t>(-(0x15 + 0x02))));
  EXPECT_THAT(Feed(MemoryWrite(0x2000FF, {1, 2})), ElementsAre(0x15, 0x00, 0x03, static_cast<uint8_t>(-(0x15 + 3))));
  EXPECT_THAT(Feed({0x44}), ElementsAre(0x15, 0x00, 0x01, static_cast<uint8_t>(-(0x15 + 1))));
}

TEST_F(BootLoaderTest, BootNakFaultRefusesTheChosenFrameWithItsErrorByte) {
  faults_.AddRule({FaultKind::kBootNak, 2, 3});
  ToBootCode();
  EXPECT_THAT(Feed(MemoryWrite(0x200001, {1})), ElementsAre(0x06));
  EXPECT_EQ(Feed(MemoryWrite(0x200002, {2}))[2], 3);
  EXPECT_THAT(Feed(MemoryWrite(0x200002, {2})), ElementsAre(0x06));
}

TEST_F(BootLoaderTest, SpeedSwitchAcknowledgesThenChangesTheRate) {
  ToBootCode();
  EXPECT_THAT(Feed({0x07, 0x03}), ElementsAre(0x06));
  EXPECT_EQ(listener_.rates.back(), 57600u);
  EXPECT_EQ(Feed({0x07, 0x04})[0], 0x15);  // no such index
  EXPECT_EQ(listener_.rates.back(), 57600u);
}

TEST_F(BootLoaderTest, StartFrameRunsTheLoadedFirmware) {
  LoadAndStart({1, 2, 3});
  EXPECT_THAT(last_, ElementsAre(0x06));
  EXPECT_EQ(listener_.firmwareStarts, 1);
}

TEST_F(BootLoaderTest, StartFrameMustRepeatTheRangeAnnouncement) {
  LoadAndStart({1, 2, 3}, {0x06, 0x20, 0x00, 0x01, 0x07, 0x05, 0x00});
  EXPECT_EQ(last_[0], 0x15);
  EXPECT_EQ(listener_.firmwareStarts, 0);
}

TEST_F(BootLoaderTest, AFirmwareOtherThanTheExpectedOneHangsAfterTheStart) {
  LoadAndStart({1, 2, 4});
  EXPECT_THAT(last_, ElementsAre(0x06));
  EXPECT_EQ(listener_.firmwareStarts, 0);
  EXPECT_EQ(boot_.stage(), BootLoader::Stage::kHung);
}

TEST_F(BootLoaderTest, AnIncompleteFrameIsDiscardedAfterTheFrameTimeout) {
  ToBootCode();
  Feed({0x01, 0x20, 0x00});
  Wait(Milliseconds(200));
  EXPECT_THAT(Feed(MemoryWrite(0x200001, {9})), ElementsAre(0x06));
}

TEST(BootLoaderSettle, ASingleZeroGetsTheIdentOnlyAfterTheSettleTime) {
  ManualClock clock;
  RecordingSink sink;
  Listener listener;
  BootLoader boot(Params(), sink, listener, nullptr, nullptr);
  boot.OnByte(0x00, clock.Now());
  ASSERT_TRUE(boot.NextDeadline().has_value());
  boot.OnTimer(clock.Advance(Milliseconds(49)));
  EXPECT_TRUE(sink.Take().empty());
  boot.OnTimer(clock.Advance(Milliseconds(1)));
  EXPECT_THAT(sink.Take(), ElementsAre(0x5A));
}

TEST(BootLoaderSettle, WithoutAnExpectedBootCodeTheFirstCheckByteEndsIt) {
  BootParams params = Params();
  params.bootCode.reset();
  params.expect = BootExpect::kDownload;
  ManualClock clock;
  RecordingSink sink;
  Listener listener;
  BootLoader boot(params, sink, listener, nullptr, nullptr);
  for (uint8_t b : Bytes{0x00, 0x11, 0x22, 0x30}) boot.OnByte(b, clock.Now());
  EXPECT_THAT(sink.Take(), ElementsAre(0x5A, 0xAA));
}

}  // namespace
}  // namespace zk::modsim
