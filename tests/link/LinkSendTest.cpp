// Sending through the link to the scripted peer on a line.
#include "tests/link/LinkFixture.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace zk::test {
namespace {

using namespace zk::link;

class LinkSendTest : public LinkFixture {};

// The pty slave with the output queue of a real transmitter: what is written
// stays counted in the queue for its wire time at the rate.
class WirePacedPort final : public com::SerialPort {
 public:
  WirePacedPort(std::unique_ptr<com::SerialPort> inner, uint32_t rate) : inner_(std::move(inner)), rate_(rate) {}
  bool SetBaudRate(uint32_t rate) override { return inner_->SetBaudRate(rate); }
  bool SetRts(bool on) override { return inner_->SetRts(on); }
  bool SetDtr(bool on) override { return inner_->SetDtr(on); }
  bool Purge(com::PurgeWhat what) override { return inner_->Purge(what); }
  std::optional<com::QueueLevels> Levels() override {
    std::optional<com::QueueLevels> levels = inner_->Levels();
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(LineEnd() - Clock::now()).count();
    if (levels && left > 0) levels->output = static_cast<std::size_t>(left * rate_ / 10'000'000 + 1);
    return levels;
  }
  bool Write(std::span<const uint8_t> data) override {
    {
      std::lock_guard lock(mutex_);
      lineEnd_ = std::max(lineEnd_, Clock::now()) + std::chrono::microseconds(data.size() * 10'000'000 / rate_);
    }
    return inner_->Write(data);
  }
  bool Drain(uint32_t maxMs) override {
    std::this_thread::sleep_until(std::min(LineEnd(), Clock::now() + std::chrono::milliseconds(maxMs)));
    return LineEnd() <= Clock::now();
  }
  com::ReadResult Read(std::span<uint8_t> out, uint32_t timeoutMs) override { return inner_->Read(out, timeoutMs); }
  com::IoStatus WaitReadable(uint32_t timeoutMs) override { return inner_->WaitReadable(timeoutMs); }
  void Wake() override { inner_->Wake(); }
  void ClearWake() override { inner_->ClearWake(); }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point LineEnd() {
    std::lock_guard lock(mutex_);
    return lineEnd_;
  }
  std::unique_ptr<com::SerialPort> inner_;
  const uint32_t rate_;
  std::mutex mutex_;
  Clock::time_point lineEnd_{};
};

TEST_F(LinkSendTest, MessagesGoOutInFramesOfBlockSize) {
  Open();
  struct Case {
    std::size_t length;
    uint16_t blockSize;
    std::vector<std::size_t> frames;
  };
  for (const Case& c : {Case{1, 0, {1}}, Case{255, 0, {255}}, Case{2500, 1024, {1024, 1024, 452}}}) {
    SCOPED_TRACE(c.length);
    CallbackLog::Clear();
    Outgoing out(*this, Pattern(c.length), c.blockSize);
    auto& [data, ecb, sent] = out;
    std::vector<std::size_t> frames;
    const auto received = peer.ReceiveMessage(&frames);
    EXPECT_EQ(sent.get(), kLinkOk);
    ASSERT_TRUE(received);
    EXPECT_EQ(*received, data);
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(ecb.flags, ECB_DONE);
    EXPECT_EQ(ecb.blockSize, c.blockSize == 0 ? c.length : c.blockSize);
    EXPECT_EQ(CallbackLog::Calls(), std::vector<ECB*>{&ecb});
  }
}

TEST_F(LinkSendTest, DleIsDoubledAndCountedTwiceInTheCheckCharacter) {
  Open();
  Outgoing out(*this, std::vector<uint8_t>{0x10, 0x41, 0x10, 0x10, 0x03});
  auto& [data, ecb, sent] = out;
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kDle});
  const Peer3964::Frame frame = peer.ReadFrameBody();
  peer.Write({kDle});
  EXPECT_EQ(sent.get(), kLinkOk);
  // The pairs of DLE cancel out: 0x41 ^ 0x03 ^ DLE ^ ETX.
  EXPECT_EQ(frame.wire, (std::vector<uint8_t>{0x10, 0x10, 0x41, 0x10, 0x10, 0x10, 0x10, 0x03, 0x10, 0x03, 0x51}));
}

TEST_F(LinkSendTest, NakToCheckCharacterRepeatsOnlyThatFrame) {
  Open();
  Outgoing out(*this, Pattern(2500), 1024);
  auto& [data, ecb, sent] = out;
  const auto first = peer.ReceiveFrame();
  ASSERT_TRUE(first);
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kDle});
  const Peer3964::Frame refused = peer.ReadFrameBody();
  ASSERT_TRUE(refused.complete);
  peer.Write({kNak});
  const auto again = peer.ReceiveFrame();
  const auto last = peer.ReceiveFrame();
  EXPECT_EQ(sent.get(), kLinkOk);
  ASSERT_TRUE(again && last);
  EXPECT_EQ(again->data, refused.data);
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 1024, data.begin() + 2048), again->data);
  EXPECT_TRUE(last->last);
  EXPECT_EQ(last->data.size(), 452u);
  EXPECT_EQ(ecb.flags, ECB_DONE);
}

TEST_F(LinkSendTest, NakToStxRestartsTheWholeMessage) {
  Open();
  Outgoing out(*this, Pattern(2500), 1024);
  auto& [data, ecb, sent] = out;
  ASSERT_TRUE(peer.ReceiveFrame());
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kNak});
  const auto received = peer.ReceiveMessage();
  EXPECT_EQ(sent.get(), kLinkOk);
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, data);
  EXPECT_EQ(ecb.flags, ECB_DONE | ECB_NAKED);
}

TEST_F(LinkSendTest, ThirdRefusalExhaustsThreeTries) {
  Open();
  Outgoing out(*this, Pattern(10));
  auto& [data, ecb, sent] = out;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(peer.Expect(kStx)) << i;
    peer.Write({kNak});
  }
  EXPECT_EQ(sent.get(), kLinkSendFailed);
  EXPECT_EQ(ecb.flags, ECB_NAKED | ECB_EXHAUSTED);
  EXPECT_TRUE(peer.Quiet(20));
  EXPECT_TRUE(CallbackLog::Calls().empty());
}

TEST_F(LinkSendTest, SilentPeerTimesOutEveryTry) {
  params.ackTimeout = 20;
  params.retries = 2;
  Open();
  Outgoing out(*this, Pattern(10));
  auto& [data, ecb, sent] = out;
  EXPECT_TRUE(peer.Expect(kStx));
  EXPECT_TRUE(peer.Expect(kStx));
  EXPECT_EQ(sent.get(), kLinkSendFailed);
  EXPECT_EQ(ecb.flags, ECB_TIMEOUT | ECB_EXHAUSTED);
}

TEST_F(LinkSendTest, UnexpectedReplyFailsTheSend) {
  params.ackTimeout = 10;
  Open();
  Outgoing out(*this, Pattern(10));
  auto& [data, ecb, sent] = out;
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({'?'});
  EXPECT_EQ(sent.get(), kLinkSendFailed);
  EXPECT_EQ(ecb.flags, ECB_BADCHAR);
}

TEST_F(LinkSendTest, LowPriorityGivesWayAndOffersItsFrameAgainWithoutLosingATry) {
  params.priority = 0;
  params.retries = 1;  // a lost try would end the send
  Open();
  std::vector<uint8_t> inbox(64);
  ECB receive = MakeEcb(inbox);
  ASSERT_EQ(link.Receive(&receive), kLinkOk);
  Outgoing out(*this, Pattern(40));
  auto& [data, ecb, sent] = out;

  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kStx});  // both ask for the line
  // The high-priority peer waits in vain for a DLE, then asks again; its
  // repeated STX gets our DLE.
  EXPECT_TRUE(peer.Quiet(100));
  const std::vector<uint8_t> peerMessage{'p', 'e', 'e', 'r', kDle};
  ASSERT_TRUE(peer.SendMessage(peerMessage, 1024));
  const auto received = peer.ReceiveMessage();

  EXPECT_EQ(sent.get(), kLinkOk);
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, data);
  EXPECT_EQ(ecb.flags, ECB_DONE);
  ASSERT_TRUE(WaitFor([&] { return HasFlags(receive, ECB_DONE); }));
  EXPECT_EQ(LoadCount(receive), peerMessage.size());
  EXPECT_TRUE(std::equal(peerMessage.begin(), peerMessage.end(), inbox.begin()));
}

TEST_F(LinkSendTest, HighPriorityWaitsOnceMoreForThePeersDle) {
  params.priority = 1;
  Open();
  Outgoing out(*this, Pattern(40));
  auto& [data, ecb, sent] = out;
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kStx});
  EXPECT_TRUE(peer.Quiet(50));
  peer.Write({kDle});  // the peer gives way
  const Peer3964::Frame frame = peer.ReadFrameBody();
  peer.Write({kDle});
  EXPECT_EQ(sent.get(), kLinkOk);
  EXPECT_TRUE(frame.checkOk);
  EXPECT_EQ(frame.data, data);
}

TEST_F(LinkSendTest, GivingWayEndsWhenThePeerFallsSilentAndTheNextSendWorks) {
  params.priority = 0;
  params.ackTimeout = 20;
  params.retries = 2;
  Open();
  Outgoing out(*this, Pattern(8));
  auto& [data, ecb, sent] = out;
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kStx});
  EXPECT_EQ(sent.get(), kLinkSendFailed);
  EXPECT_EQ(ecb.flags, ECB_TIMEOUT);

  params.ackTimeout = 3000;
  ECB next = MakeEcb(data);
  auto again = SendAsync(next);
  const auto received = peer.ReceiveMessage();
  EXPECT_EQ(again.get(), kLinkOk);
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, data);
}

TEST_F(LinkSendTest, SendWhileAMessageArrivesIsRefusedAndLeavesTheEcbAlone) {
  Open();
  std::vector<uint8_t> inbox(64);
  ECB receive = MakeEcb(inbox);
  ASSERT_EQ(link.Receive(&receive), kLinkOk);
  peer.Write({kStx});
  ASSERT_TRUE(peer.Expect(kDle));

  std::vector<uint8_t> data = Pattern(8);
  ECB ecb = MakeEcb(data);
  ecb.flags = 0x1234;
  const ECB before = ecb;
  EXPECT_EQ(link.Send(&ecb), kLinkSendFailed);
  EXPECT_EQ(std::memcmp(&before, &ecb, sizeof ecb), 0);

  const std::vector<uint8_t> message{1, 2, 3};
  peer.Write(Peer3964::FrameWire(message, true));
  EXPECT_TRUE(peer.Expect(kDle));
  EXPECT_TRUE(peer.Quiet(10));  // the refused send wrote nothing
  EXPECT_TRUE(WaitFor([&] { return HasFlags(receive, ECB_DONE); }));
}

TEST_F(LinkSendTest, SendOnAClosedLinkIsRefused) {
  std::vector<uint8_t> data = Pattern(8);
  ECB ecb = MakeEcb(data);
  EXPECT_EQ(link.Send(&ecb), kLinkNotOpen);
  Open();
  ECB empty = MakeEcb(data);
  empty.length = 0;
  EXPECT_EQ(link.Send(&empty), kLinkSendFailed);
  EXPECT_EQ(empty.flags, 0);
  EXPECT_TRUE(peer.Quiet(10));
}

}  // namespace
}  // namespace zk::test

namespace zk::test {
namespace {

using namespace zk::link;

TEST_F(LinkSendTest, APeerBreakingInDuringAFrameStopsItAndTheMessageStartsAgain) {
  params.baudRate = 9600;
  com::SetSerialPortOpener([this](unsigned, uint32_t rate, com::OpenError* error) -> std::unique_ptr<com::SerialPort> {
    auto port = com::OpenSerialDevice(line.devicePath(), rate, error);
    if (!port) return nullptr;
    return std::make_unique<WirePacedPort>(std::move(port), rate);
  });
  const std::shared_ptr<void> restore(nullptr, [](void*) { com::SetSerialPortOpener(nullptr); });
  Open();
  std::vector<uint8_t> data(1024, 'A');  // no control character among them
  ECB ecb = MakeEcb(data);
  auto sent = SendAsync(ecb);
  ASSERT_TRUE(peer.Expect(kStx));
  peer.Write({kDle});
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(peer.Expect('A'));
  // A tenth into the frame (a second at 9600) the peer breaks in; the frame
  // stops within a few pieces, and STX starts the message again.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  peer.Write({kNak});
  std::size_t after = 0;
  for (std::optional<uint8_t> c = peer.Read(); c != kStx; c = peer.Read()) {
    ASSERT_TRUE(c);
    ++after;
  }
  EXPECT_LT(after, 512u);
  peer.Write({kDle});
  const Peer3964::Frame frame = peer.ReadFrameBody();
  peer.Write({kDle});
  EXPECT_EQ(sent.get(), kLinkOk);
  EXPECT_EQ(frame.data, data);
  EXPECT_EQ(ecb.flags, ECB_DONE);
}

}  // namespace
}  // namespace zk::test
