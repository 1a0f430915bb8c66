// The sender's state machine against a scripted line, without threads.
#include "common/ModuleCodes.h"
#include "link/Sender.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace zk::link {
namespace {

// Replays the peer's replies in order and records what the sender does.
class ScriptedLine : public SenderLink {
 public:
  struct Reply {
    std::optional<uint8_t> c;  // nullopt: nothing within the time
  };
  std::deque<Reply> replies;
  // The write (counted from 1) after which the peer breaks in with this
  // character.
  std::optional<std::pair<int, uint8_t>> interruption;

  std::vector<uint8_t> written;
  std::vector<uint32_t> pauses;
  std::vector<uint32_t> yields;
  int writes = 0;
  bool yieldResult = true;

  void Arm() override { pending_.reset(); }
  void Write(std::span<const uint8_t> bytes) override {
    written.insert(written.end(), bytes.begin(), bytes.end());
    ++writes;
    if (interruption && interruption->first == writes) pending_ = interruption->second;
  }
  std::optional<uint8_t> AwaitReply(uint16_t, bool) override {
    if (replies.empty()) return std::nullopt;
    const Reply reply = replies.front();
    replies.pop_front();
    return reply.c;
  }
  std::optional<uint8_t> Interruption() override { return pending_; }
  void ArmForCheckChar() override {}
  bool YieldLine(uint32_t silenceMs) override {
    yields.push_back(silenceMs);
    return yieldResult;
  }
  void Finish() override {}
  void Pause(uint32_t ms) override { pauses.push_back(ms); }

  int Count(uint8_t c) const { return static_cast<int>(std::count(written.begin(), written.end(), c)); }

 private:
  std::optional<uint8_t> pending_;
};

class SenderTest : public ::testing::Test {
 protected:
  LinkResult Send(std::size_t length, uint16_t blockSize = 0) {
    data.assign(length, 'a');
    ecb = ECB{data.data(), static_cast<uint16_t>(length), 0, blockSize, 0, nullptr, nullptr};
    Sender sender(config, line);
    return sender.Send(ecb);
  }
  void Script(std::initializer_list<std::optional<uint8_t>> replies) {
    for (const auto& r : replies) line.replies.push_back({r});
  }

  LinkConfig config{57600, 1, 3, 200, 100, 40};
  ScriptedLine line;
  std::vector<uint8_t> data;
  ECB ecb{};
};

TEST_F(SenderTest, NakToStxWaitsTheRetryDelayAndStartsAgainFromTheFirstByte) {
  Script({kDle, kDle, kNak, kDle, kDle, kDle, kDle});
  EXPECT_EQ(Send(20, 10), kLinkOk);
  EXPECT_EQ(line.pauses, std::vector<uint32_t>{40});
  // Frame 1, frame 2 (refused at STX), then frame 1 and frame 2 again.
  EXPECT_EQ(line.Count(kStx), 4);
  EXPECT_EQ(line.written.size(), 4 + 3 * (10 + 3));
  EXPECT_EQ(ecb.flags, ECB_DONE | ECB_NAKED);
}

TEST_F(SenderTest, TriesCountForTheWholeMessageNotPerFrame) {
  // Frame 1 refused once, then taken; frame 2 refused twice: the third
  // refusal uses up the three tries.
  Script({kDle, kNak, kDle, kDle, kDle, kNak, kDle, kNak});
  EXPECT_EQ(Send(20, 10), kLinkSendFailed);
  EXPECT_EQ(ecb.flags, ECB_EXHAUSTED);
}

TEST_F(SenderTest, UnexpectedReplyToStxFailsAfterAPauseOfTwoAckTimeouts) {
  Script({'x'});
  EXPECT_EQ(Send(5), kLinkSendFailed);
  EXPECT_EQ(line.pauses, std::vector<uint32_t>{200});
  EXPECT_EQ(ecb.flags, ECB_BADCHAR);
}

TEST_F(SenderTest, UnexpectedReplyToTheCheckCharacterFailsAtOnce) {
  Script({kDle, 'x'});
  EXPECT_EQ(Send(5), kLinkSendFailed);
  EXPECT_TRUE(line.pauses.empty());
  EXPECT_EQ(ecb.flags, ECB_BADCHAR);
}

TEST_F(SenderTest, NakDuringAFrameRestartsTheMessageAnythingElseFails) {
  line.interruption = std::pair{2, kNak};  // after the first piece of the body
  Script({kDle, kDle, kDle});
  EXPECT_EQ(Send(200), kLinkOk);
  EXPECT_EQ(line.Count(kStx), 2);
  EXPECT_TRUE(line.pauses.empty());

  line = ScriptedLine{};
  line.interruption = std::pair{2, 'x'};
  Script({kDle});
  EXPECT_EQ(Send(200), kLinkSendFailed);
  EXPECT_EQ(line.pauses, std::vector<uint32_t>{200});
  EXPECT_EQ(ecb.flags, ECB_BADCHAR);
}

TEST_F(SenderTest, LowPriorityConflictYieldsWithASilenceBoundAndKeepsItsTry) {
  config.priority = 0;
  config.retries = 1;
  Script({kStx, kDle, kDle});
  EXPECT_EQ(Send(5), kLinkOk);
  EXPECT_EQ(line.yields, std::vector<uint32_t>{100});
  EXPECT_EQ(line.Count(kStx), 2);

  line = ScriptedLine{};
  line.yieldResult = false;
  Script({kStx});
  EXPECT_EQ(Send(5), kLinkSendFailed);
  EXPECT_EQ(ecb.flags, ECB_TIMEOUT);
}

TEST_F(SenderTest, HighPriorityConflictWithoutASecondReplyTimesOutAndRestarts) {
  Script({kStx, std::nullopt, kDle, kDle});
  EXPECT_EQ(Send(5), kLinkOk);
  EXPECT_EQ(ecb.flags, ECB_DONE | ECB_TIMEOUT);
  EXPECT_TRUE(line.yields.empty());
}

}  // namespace
}  // namespace zk::link
