#include "TestSupport.h"
#include "modsim/LinkPeer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using namespace test;
using ::testing::ElementsAre;

class Listener : public LinkListener {
 public:
  void OnMessage(Bytes message, TimePoint) override { messages.push_back(std::move(message)); }
  void OnSendDone(bool delivered, TimePoint) override { sendResults.push_back(delivered); }
  std::vector<Bytes> messages;
  std::vector<bool> sendResults;
};

LinkParams Params() {
  LinkParams p;
  p.charTimeout = Milliseconds(220);
  p.ackTimeout = Milliseconds(2000);
  p.retryDelay = Milliseconds(200);
  p.tries = 3;
  p.refusals = 3;
  return p;
}

class LinkPeerTest : public MachineTest {
 protected:
  explicit LinkPeerTest(LinkParams params = Params())
      : params_(params), peer_(params_, sink_, listener_, &faults_, nullptr) {}

  // Feeds the bytes as the host sends them, returns what the module answered.
  Bytes Feed(const Bytes& bytes) { return FeedTo(peer_, bytes, Microseconds(100)); }
  void Expire() {
    ASSERT_TRUE(peer_.NextDeadline().has_value());
    clock_.Advance(*peer_.NextDeadline() - clock_.Now());
    peer_.OnTimer(clock_.Now());
  }

  LinkParams params_;
  Listener listener_;
  LinkPeer peer_;
};

TEST_F(LinkPeerTest, ReceivesAMessageWithDoubledDleStoredOnce) {
  EXPECT_THAT(Feed({kStx}), ElementsAre(kDle));
  const Bytes data = {0x0B, 0x10, 0x00, 0x03};
  const Bytes block = HostBlock(data);
  EXPECT_THAT(block, ElementsAre(0x0B, 0x10, 0x10, 0x00, 0x03, kDle, kEtx, 0x0B ^ 0x03 ^ kDle ^ kEtx));
  EXPECT_THAT(Feed(block), ElementsAre(kDle));
  ASSERT_EQ(listener_.messages.size(), 1u);
  EXPECT_EQ(listener_.messages[0], data);
  EXPECT_FALSE(peer_.Busy());
}

TEST_F(LinkPeerTest, WrongCheckCharacterIsRefusedAndTheRepeatAccepted) {
  Feed({kStx});
  Bytes bad = HostBlock({0x01});
  bad.back() ^= 0x01;
  EXPECT_THAT(Feed(bad), ElementsAre(kNak));
  EXPECT_TRUE(listener_.messages.empty());
  EXPECT_THAT(Feed({kStx}), ElementsAre(kDle));
  EXPECT_THAT(Feed(HostBlock({0x01})), ElementsAre(kDle));
  ASSERT_EQ(listener_.messages.size(), 1u);
  EXPECT_THAT(listener_.messages[0], ElementsAre(0x01));
}

TEST_F(LinkPeerTest, GivesTheMessageUpAfterTheRefusalBudget) {
  Bytes bad = HostBlock({0x01, 0x02});
  bad.back() ^= 0xFF;
  Feed({kStx});
  for (int i = 0; i < 3; ++i) {
    EXPECT_THAT(Feed(bad), ElementsAre(kNak));
    if (i < 2) Feed({kStx});
  }
  EXPECT_FALSE(peer_.Busy());
  // The line is free again: a new STX starts a new message.
  EXPECT_THAT(Feed({kStx}), ElementsAre(kDle));
  Feed(HostBlock({0x0F}));
  ASSERT_EQ(listener_.messages.size(), 1u);
  EXPECT_THAT(listener_.messages[0], ElementsAre(0x0F));
}

TEST_F(LinkPeerTest, JoinsEtbBlocksIntoOneMessage) {
  Feed({kStx});
  EXPECT_THAT(Feed(HostBlock({1, 2, 3}, false)), ElementsAre(kDle));
  EXPECT_TRUE(listener_.messages.empty());
  EXPECT_THAT(Feed({kStx}), ElementsAre(kDle));
  Feed(HostBlock({4, 5}, true));
  ASSERT_EQ(listener_.messages.size(), 1u);
  EXPECT_THAT(listener_.messages[0], ElementsAre(1, 2, 3, 4, 5));
}

TEST_F(LinkPeerTest, ARefusedSecondBlockKeepsTheFirst) {
  Feed({kStx});
  Feed(HostBlock({1, 2}, false));
  Feed({kStx});
  Bytes bad = HostBlock({3}, true);
  bad.back() ^= 1;
  EXPECT_THAT(Feed(bad), ElementsAre(kNak));
  Feed({kStx});
  Feed(HostBlock({3}, true));
  ASSERT_EQ(listener_.messages.size(), 1u);
  EXPECT_THAT(listener_.messages[0], ElementsAre(1, 2, 3));
}

TEST_F(LinkPeerTest, LineErrorsInsideAFrameAreRefused) {
  Feed({kStx, 0x05});
  EXPECT_THAT(Feed({kDle, 0x41}), ElementsAre(kNak));  // DLE followed by neither DLE, ETX nor ETB
  EXPECT_FALSE(peer_.Busy());

  Feed({kStx, 0x05});
  Expire();  // no further character within the character time-out
  EXPECT_THAT(sink_.Take(), ElementsAre(kNak));
  EXPECT_TRUE(listener_.messages.empty());
}

TEST_F(LinkPeerTest, OutsideAFrameOnlyStxStartsOne) {
  EXPECT_THAT(Feed({0x41}), ElementsAre(kNak));
  EXPECT_TRUE(Feed({kDle, kNak}).empty());  // stray replies are not answered
}

TEST_F(LinkPeerTest, AMessageLongerThanTheBufferIsRefused) {
  params_.capacity = 4;
  LinkPeer small(params_, sink_, listener_, nullptr, nullptr);
  for (uint8_t b : Bytes{kStx}) small.OnByte(b, clock_.Now());
  for (uint8_t b : HostBlock({1, 2, 3, 4, 5})) small.OnByte(b, clock_.Now());
  EXPECT_EQ(sink_.Take().back(), kNak);
  EXPECT_TRUE(listener_.messages.empty());
}

TEST_F(LinkPeerTest, InjectedFaultRefusesAGoodBlockOnce) {
  faults_.AddRule({FaultKind::kNakBlock, 1, std::nullopt});
  Feed({kStx});
  EXPECT_THAT(Feed(HostBlock({7})), ElementsAre(kNak));
  Feed({kStx});
  EXPECT_THAT(Feed(HostBlock({7})), ElementsAre(kDle));
  EXPECT_EQ(listener_.messages.size(), 1u);
}

TEST_F(LinkPeerTest, SendsAMessageWithDleDoubledAndTheCheckCharacter) {
  peer_.Send({0x05, 0x10, 0x00}, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  EXPECT_THAT(Feed({kDle}), ElementsAre(0x05, 0x10, 0x10, 0x00, kDle, kEtx, 0x05 ^ kDle ^ kEtx));
  EXPECT_TRUE(Feed({kDle}).empty());
  EXPECT_THAT(listener_.sendResults, ElementsAre(true));
  EXPECT_FALSE(peer_.Busy());
}

// Messages cut into blocks, sent by a peer of its own block size.
class LinkPeerBlocks : public LinkPeerTest {};

TEST_F(LinkPeerBlocks, SplitsAMessageIntoBlocksEachWithItsOwnStx) {
  params_.blockSize = 2;
  LinkPeer peer(params_, sink_, listener_, nullptr, nullptr);
  peer.Send({1, 2, 3, 4, 5}, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(1, 2, kDle, kEtb, 1 ^ 2 ^ kDle ^ kEtb));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(3, 4, kDle, kEtb, 3 ^ 4 ^ kDle ^ kEtb));
  peer.OnByte(kDle, clock_.Now());
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx, 5, kDle, kEtx, 5 ^ kDle ^ kEtx));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(listener_.sendResults, ElementsAre(true));
}

TEST_F(LinkPeerBlocks, ANakAfterTheCheckCharacterRepeatsOnlyThatBlock) {
  params_.blockSize = 1;
  LinkPeer peer(params_, sink_, listener_, nullptr, nullptr);
  peer.Send({0xA1, 0xA2}, clock_.Now());
  peer.OnByte(kDle, clock_.Now());
  peer.OnByte(kDle, clock_.Now());  // first block accepted
  sink_.Take();
  peer.OnByte(kDle, clock_.Now());
  EXPECT_EQ(sink_.Take()[0], 0xA2);
  peer.OnByte(kNak, clock_.Now());  // second block refused
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_EQ(sink_.Take()[0], 0xA2);  // the refused block again, not the first
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(listener_.sendResults, ElementsAre(true));
}

TEST_F(LinkPeerTest, ANakToStxRetriesAfterThePauseUntilTheTriesAreUsedUp) {
  peer_.Send({0x42}, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  EXPECT_TRUE(Feed({kNak}).empty());  // waits the retry delay first
  Expire();
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  Feed({kNak});
  Expire();
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  Feed({kNak});  // the third try of three
  EXPECT_THAT(listener_.sendResults, ElementsAre(false));
  EXPECT_FALSE(peer_.Busy());
}

TEST_F(LinkPeerTest, NoReplyToStxTriesAgain) {
  peer_.Send({0x42}, clock_.Now());
  sink_.Take();
  Expire();
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
}

TEST_F(LinkPeerTest, GivesWayInAnInitiationConflictWithoutUsingATry) {
  params_.tries = 1;  // a try used up by the conflict would end the send
  LinkPeer peer(params_, sink_, listener_, nullptr, nullptr);
  peer.Send({0x99}, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(kStx));
  peer.OnByte(kStx, clock_.Now());  // the host wants the line too
  EXPECT_THAT(sink_.Take(), ElementsAre(kDle));
  for (uint8_t b : HostBlock({0x01})) peer.OnByte(b, clock_.Now());
  ASSERT_EQ(listener_.messages.size(), 1u);
  // The host's message is in; the module offers its own again.
  EXPECT_THAT(sink_.Take(), ElementsAre(kDle, kStx));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(sink_.Take(), ElementsAre(0x99, kDle, kEtx, 0x99 ^ kDle ^ kEtx));
  peer.OnByte(kDle, clock_.Now());
  EXPECT_THAT(listener_.sendResults, ElementsAre(true));
}

TEST_F(LinkPeerTest, AnAnswerWaitsUntilTheMessageBeingReceivedIsIn) {
  Feed({kStx, 0x01});
  peer_.Send({0x55}, clock_.Now());
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_THAT(Feed({kDle, kEtx, 0x01 ^ kDle ^ kEtx}), ElementsAre(kDle, kStx));
}

}  // namespace
}  // namespace zk::modsim
