// Receiving through the link from the scripted peer on a line.
#include "platform/Messages.h"
#include "tests/link/LinkFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace zk::test {
namespace {

using namespace zk::link;

class LinkReceiveTest : public LinkFixture {
 protected:
  void OpenWithEcb(std::size_t capacity) {
    Open();
    inbox.resize(capacity);
    ecb = MakeEcb(inbox);
    ASSERT_EQ(link.Receive(&ecb), kLinkOk);
  }
  void OfferFrame() {
    peer.Write({kStx});
    ASSERT_TRUE(peer.Expect(kDle));
  }

  std::vector<uint8_t> inbox;
  ECB ecb{};
};

TEST_F(LinkReceiveTest, FramesOfAMessageLandInOneEcbAndCompleteItOnce) {
  OpenWithEcb(4096);
  const std::vector<uint8_t> data = Pattern(2500);
  ASSERT_GT(std::count(data.begin(), data.end(), kDle), 0);
  ASSERT_TRUE(peer.SendMessage(data, 1024));
  ASSERT_TRUE(WaitFor([&] { return !CallbackLog::Calls().empty(); }));
  EXPECT_EQ(LoadFlags(ecb), ECB_DONE);
  EXPECT_EQ(LoadCount(ecb), 2500);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), inbox.begin()));
  EXPECT_EQ(CallbackLog::Calls(), std::vector<ECB*>{&ecb});
  EXPECT_EQ(link.CurrentEcb(), nullptr);
}

TEST_F(LinkReceiveTest, StxWithNoEcbQueuedIsRefused) {
  Open();
  peer.Write({kStx});
  EXPECT_TRUE(peer.Expect(kNak));
}

TEST_F(LinkReceiveTest, AnIdleReceiverLeavesNakAndDleUnansweredAndRefusesOtherNoise) {
  OpenWithEcb(64);
  peer.Write({kNak, kDle, kNak});
  EXPECT_TRUE(peer.Quiet(200));
  peer.Write({'?'});
  EXPECT_TRUE(peer.Expect(kNak));
  const std::vector<uint8_t> data = Pattern(20);
  ASSERT_TRUE(peer.SendMessage(data, 64));
  ASSERT_TRUE(WaitFor([&] { return LoadFlags(ecb) == ECB_DONE; }));
}

TEST_F(LinkReceiveTest, DleFollowedByAnotherCharacterFailsTheEcb) {
  OpenWithEcb(64);
  OfferFrame();
  peer.Write({'A', kDle, 'B'});
  EXPECT_TRUE(peer.Expect(kNak));
  ASSERT_TRUE(WaitFor([&] { return LoadFlags(ecb) == (ECB_FAILED | ECB_BADCHAR); }));
  EXPECT_EQ(link.CurrentEcb(), &ecb);  // stays at the head until queued again
}

TEST_F(LinkReceiveTest, SilenceInsideAFrameFailsTheEcbWithATimeout) {
  params.charTimeout = 20;
  OpenWithEcb(64);
  OfferFrame();
  peer.Write({'A'});
  EXPECT_TRUE(peer.Expect(kNak));
  ASSERT_TRUE(WaitFor([&] { return LoadFlags(ecb) == (ECB_FAILED | ECB_TIMEOUT); }));
}

TEST_F(LinkReceiveTest, WrongCheckCharacterIsRefusedAndTheFrameTakenAgain) {
  OpenWithEcb(64);
  const std::vector<uint8_t> data{1, 2, 3, 4};
  std::vector<uint8_t> bad = Peer3964::FrameWire(data, true);
  bad.back() ^= 0xFF;
  OfferFrame();
  peer.Write(bad);
  ASSERT_TRUE(peer.Expect(kNak));
  EXPECT_TRUE(HasFlags(ecb, ECB_NAKED));
  ASSERT_TRUE(peer.SendFrame(data, true));
  ASSERT_TRUE(WaitFor([&] { return HasFlags(ecb, ECB_DONE); }));
  EXPECT_EQ(LoadCount(ecb), data.size());  // the refused copy is not kept
}

TEST_F(LinkReceiveTest, RefusalsUpToTheRetriesFailTheEcb) {
  params.retries = 2;
  OpenWithEcb(64);
  std::vector<uint8_t> bad = Peer3964::FrameWire(std::vector<uint8_t>{9, 9}, true);
  bad.back() ^= 0xFF;
  for (int i = 0; i < 2; ++i) {
    OfferFrame();
    peer.Write(bad);
    ASSERT_TRUE(peer.Expect(kNak)) << i;
  }
  ASSERT_TRUE(WaitFor([&] { return HasFlags(ecb, ECB_FAILED); }));
  EXPECT_EQ(LoadCount(ecb), 0);
  EXPECT_FALSE(HasFlags(ecb, ECB_BUSY));
}

TEST_F(LinkReceiveTest, FrameLongerThanTheEcbIsRefusedUntilTheEcbIsQueuedAgain) {
  OpenWithEcb(4);
  OfferFrame();
  peer.Write(Peer3964::FrameWire(Pattern(8), true));
  EXPECT_TRUE(peer.Expect(kNak));  // at the first byte too many
  EXPECT_TRUE(peer.Expect(kNak));  // at the check character
  ASSERT_TRUE(WaitFor([&] { return HasFlags(ecb, ECB_FAILED | ECB_REFUSE); }));
  EXPECT_TRUE(HasFlags(ecb, ECB_REFUSE));
  EXPECT_TRUE(std::all_of(inbox.begin(), inbox.end(), [](uint8_t b) { return b != 0; }));

  peer.Write({kStx});
  EXPECT_TRUE(peer.Expect(kNak));

  ASSERT_EQ(link.Receive(&ecb), kLinkOk);  // the head again: flags cleared
  EXPECT_EQ(LoadFlags(ecb), 0);
  const std::vector<uint8_t> small{5, 6, 7};
  ASSERT_TRUE(peer.SendMessage(small, 1024));
  ASSERT_TRUE(WaitFor([&] { return HasFlags(ecb, ECB_DONE); }));
  EXPECT_EQ(LoadCount(ecb), 3);
}

TEST_F(LinkReceiveTest, CancelAndShutdownCallEveryQueuedEcbBackInOrder) {
  Open();
  std::vector<uint8_t> a(8), b(8), c(8);
  ECB first = MakeEcb(a), second = MakeEcb(b), third = MakeEcb(c);
  for (ECB* e : {&first, &second, &third, &second}) ASSERT_EQ(link.Receive(e), kLinkOk);
  EXPECT_EQ(link.CurrentEcb(), &first);
  ASSERT_EQ(link.Receive(nullptr), kLinkOk);
  EXPECT_EQ(CallbackLog::Calls(), (std::vector<ECB*>{&first, &second, &third}));
  EXPECT_EQ(link.CurrentEcb(), nullptr);

  CallbackLog::Clear();
  for (ECB* e : {&third, &first}) ASSERT_EQ(link.Receive(e), kLinkOk);
  EXPECT_EQ(link.Shutdown(), kLinkOk);
  EXPECT_EQ(CallbackLog::Calls(), (std::vector<ECB*>{&third, &first}));
  EXPECT_EQ(link.Receive(&first), kLinkNotOpen);
}

TEST_F(LinkReceiveTest, CompletionIsSentToTheRegisteredWindow) {
  static std::atomic<intptr_t> notified{0};
  int window = 0;
  RegisterWindow(&window, [](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    if (message == TN3964R_MSG_RECEIVED && wParam == 0) notified.store(lParam);
    return 0;
  });
  EXPECT_EQ(link.PassCallBack(&window), &window);
  OpenWithEcb(16);
  ASSERT_TRUE(peer.SendMessage(std::vector<uint8_t>{1}, 1024));
  EXPECT_TRUE(WaitFor([&] { return notified.load() == reinterpret_cast<intptr_t>(&ecb); }));
  link.PassCallBack(nullptr);
  UnregisterWindow(&window);
}

TEST_F(LinkReceiveTest, HangUpOfTheFarEndFailsSendsAndTheLinkStillShutsDown) {
  if (!LinePair::CanHangUp()) GTEST_SKIP() << "the far end is a relay of the test script, which stays up";
  params.ackTimeout = 10;
  OpenWithEcb(16);
  line.HangUp();
  std::vector<uint8_t> data = Pattern(4);
  ECB out = MakeEcb(data, 0, nullptr);
  EXPECT_EQ(link.Send(&out), kLinkSendFailed);
  EXPECT_EQ(out.flags, ECB_TIMEOUT | ECB_EXHAUSTED);
  EXPECT_EQ(link.Shutdown(), kLinkOk);
  EXPECT_EQ(CallbackLog::Calls(), std::vector<ECB*>{&ecb});
}

LinkDriver* gClosingLink = nullptr;

TEST_F(LinkReceiveTest, ACallbackMayShutTheLinkDown) {
  gClosingLink = &link;
  Open();
  std::vector<uint8_t> buffer(8);
  // The callback goes on for a while after its shutdown: the link thread
  // holds the port until it returns.
  ECB closing = MakeEcb(buffer, 0, [](ECB*) {
    gClosingLink->Shutdown();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  ASSERT_EQ(link.Receive(&closing), kLinkOk);
  ASSERT_TRUE(peer.SendMessage(std::vector<uint8_t>{1}, 1024));
  EXPECT_TRUE(WaitFor([&] { return !link.IsOpen(); }));
  // Opening again waits for that thread to end and gets the port.
  EXPECT_EQ(link.Initialize(&params), kLinkOk);
}

}  // namespace
}  // namespace zk::test
