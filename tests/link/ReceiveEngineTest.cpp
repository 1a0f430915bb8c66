// The receive engine fed character by character, without a port or thread.
#include "common/ModuleCodes.h"
#include "link/EcbAccess.h"
#include "link/ReceiveEngine.h"

#include <gtest/gtest.h>

namespace zk::link {
namespace {

class RecordingOutput : public ControlOutput {
 public:
  void SendControl(uint8_t c) override { sent.push_back(c); }
  std::vector<uint8_t> sent;
};

class ReceiveEngineTest : public ::testing::Test {
 protected:
  ReceiveEngine::Step Feed(std::initializer_list<uint8_t> chars) {
    ReceiveEngine::Step step;
    for (const uint8_t c : chars) step = engine.OnChar(c);
    return step;
  }
  ECB MakeEcb(std::vector<uint8_t>& buffer) {
    return ECB{buffer.data(), static_cast<uint16_t>(buffer.size()), 0, 0, 0, nullptr, nullptr};
  }

  LinkConfig config{57600, 1, 3, 20, 300, 10};
  RecordingOutput output;
  ReceiveEngine engine{config, output};
};

TEST_F(ReceiveEngineTest, TimeOutsFollowTheFrame) {
  std::vector<uint8_t> buffer(8);
  ECB ecb = MakeEcb(buffer);
  engine.Queue(ecb);
  EXPECT_EQ(Feed({kStx}).timeoutMs, 300);  // waiting for the first data byte
  EXPECT_EQ(Feed({'a'}).timeoutMs, 20);
  EXPECT_EQ(Feed({kDle, kEtb}).timeoutMs, 20);
  const uint8_t bcc = 'a' ^ kDle ^ kEtb;
  EXPECT_EQ(Feed({bcc}).timeoutMs, 300);  // waiting for the next frame
  EXPECT_TRUE(engine.LineHeld());
  // A stray character between the frames is refused, the wait goes on.
  EXPECT_EQ(Feed({'?'}).timeoutMs, 300);
  EXPECT_EQ(output.sent, (std::vector<uint8_t>{kDle, kDle, kNak}));

  const ReceiveEngine::Step timedOut = engine.OnTimeout();
  EXPECT_EQ(timedOut.timeoutMs, 0);
  EXPECT_EQ(ecb.flags, ECB_FAILED | ECB_TIMEOUT | ECB_BADCHAR);
  EXPECT_FALSE(engine.LineHeld());
  EXPECT_EQ(output.sent.back(), kNak);
}

TEST_F(ReceiveEngineTest, QueueingTheHeadAgainKeepsTheMessageInProgress) {
  std::vector<uint8_t> buffer(8), other(8);
  ECB ecb = MakeEcb(buffer), second = MakeEcb(other);
  engine.Queue(ecb);
  engine.Queue(second);
  Feed({kStx, 'x', 'y'});
  engine.Queue(ecb);     // head: flags cleared, progress kept
  engine.Queue(second);  // already queued: left alone
  const ReceiveEngine::Step done = Feed({kDle, kEtx, static_cast<uint8_t>('x' ^ 'y' ^ kDle ^ kEtx)});
  EXPECT_EQ(done.completed, &ecb);
  EXPECT_EQ(ecb.count, 2);
  EXPECT_EQ(engine.Head(), &second);
  EXPECT_EQ(second.next, nullptr);
  EXPECT_EQ(engine.TakeQueue(), std::vector<ECB*>{&second});
}

TEST_F(ReceiveEngineTest, AfterGivingWayThePeersNextCharacterIsAnsweredAndNotStored) {
  std::vector<uint8_t> buffer(8);
  ECB ecb = MakeEcb(buffer);
  engine.Queue(ecb);
  engine.YieldToPeer();
  EXPECT_TRUE(engine.LineHeld());
  // A peer that goes quiet after our DLE is caught by the time-out.
  EXPECT_EQ(Feed({kStx}).timeoutMs, 300);
  EXPECT_EQ(output.sent, std::vector<uint8_t>{kDle});
  EXPECT_EQ(LoadFlags(ecb), ECB_BUSY);
  const ReceiveEngine::Step done = Feed({'k', kDle, kEtx, static_cast<uint8_t>('k' ^ kDle ^ kEtx)});
  EXPECT_EQ(done.completed, &ecb);
  EXPECT_EQ(ecb.count, 1);
  EXPECT_EQ(buffer[0], 'k');
}

TEST_F(ReceiveEngineTest, ANullBufferTakesNoData) {
  ECB ecb{nullptr, 100, 0, 0, 0, nullptr, nullptr};
  engine.Queue(ecb);
  Feed({kStx, 'a'});
  EXPECT_EQ(ecb.flags, ECB_FAILED | ECB_REFUSE);
  EXPECT_EQ(output.sent, (std::vector<uint8_t>{kDle, kNak}));
}

}  // namespace
}  // namespace zk::link
