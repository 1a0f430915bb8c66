#include "FlashFixture.h"
#include "TestSupport.h"
#include "modsim/Module.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zk::modsim {
namespace {

using namespace test;
using ::testing::ElementsAre;

class FakeLine : public LineControl {
 public:
  uint32_t HostRate() override { return 57600; }
  void SetRate(uint32_t baud) override { rates.push_back(baud); }
  std::vector<uint32_t> rates;
};

SimConfig Config() {
  SimConfig config;
  config.banks = test::SmallBanks();
  config.firmware.password = "zelkor";
  config.answerDelay = Milliseconds(5);
  return config;
}

// Config() as change leaves it.
template <typename Change>
SimConfig Changed(Change change) {
  SimConfig config = Config();
  change(config);
  return config;
}

// Plays the host's side of the line against a Module, byte by byte.
class ModuleTest : public MachineTest {
 protected:
  explicit ModuleTest(SimConfig config = Config())
      : config_(std::move(config)), flash_(config_.banks), module_(config_, flash_, sink_, line_, &faults_, nullptr) {}

  Bytes Feed(const Bytes& bytes) { return FeedTo(module_, bytes, Microseconds(100)); }
  // Lets the module's timers run up to `span` from now.
  Bytes RunFor(Duration span) {
    const TimePoint end = clock_.Now() + span;
    while (auto deadline = module_.NextDeadline()) {
      if (*deadline > end) break;
      clock_.Advance(std::max(Duration::zero(), *deadline - clock_.Now()));
      module_.OnTimer(clock_.Now());
    }
    clock_.Advance(end - clock_.Now());
    return sink_.Take();
  }
  void SendRequest(const Bytes& request) {
    ASSERT_THAT(Feed({kStx}), ElementsAre(kDle));
    carry_ = Feed(HostBlock(request));
    ASSERT_FALSE(carry_.empty());
    ASSERT_EQ(carry_.front(), kDle);
    carry_.erase(carry_.begin());  // a reply sent at once follows the DLE
  }
  std::optional<Bytes> ReceiveAnswer() {
    Bytes start = carry_;
    carry_.clear();
    if (start.empty()) start = RunFor(Milliseconds(100));
    if (start != Bytes{kStx}) return std::nullopt;
    auto block = ParseModuleBlock(Feed({kDle}));
    Feed({kDle});
    return block;
  }
  Bytes Transact(const Bytes& request) {
    SendRequest(request);
    return ReceiveAnswer().value_or(Bytes{});
  }
  void Handshake() {
    ASSERT_THAT(Feed({0x00, 0x00, 0x09}), ElementsAre(0xF6));
    ASSERT_TRUE(module_.InFirmware());
  }

  SimConfig config_;
  FakeLine line_;
  FlashModel flash_;
  Module module_;
  Bytes carry_;
};

TEST_F(ModuleTest, HandshakeThenLoginThenExitBackToTheBootLoader) {
  EXPECT_TRUE(Feed({kStx}).empty());  // the boot loader does not speak 3964R
  Handshake();
  EXPECT_THAT(line_.rates, ElementsAre(57600, 57600));  // measured at the first 0x00, then the index
  EXPECT_THAT(Transact({0x01}), ElementsAre(0x01, 0x01, 0x03, 3, 1, 7));
  EXPECT_THAT(Transact(Bytes{0x0B, 6, 0, 0, 0, 'z', 'e', 'l', 'k', 'o', 'r'}), ElementsAre(0x0B, 0x00));
  EXPECT_THAT(Transact({0x08, 0x00, 0, 0, 0, 0}), ElementsAre(0x08, 0x00));
  EXPECT_FALSE(module_.InFirmware());
  EXPECT_FALSE(module_.Firmware().PasswordAccepted());
  Handshake();  // a new login finds the boot loader again
}

TEST_F(ModuleTest, TheAnswerWaitsForTheAnswerDelay) {
  Handshake();
  SendRequest({0x0F});
  EXPECT_TRUE(carry_.empty());
  EXPECT_TRUE(RunFor(Milliseconds(4)).empty());
  EXPECT_THAT(RunFor(Milliseconds(1)), ElementsAre(kStx));
}

TEST_F(ModuleTest, AResetInTheMiddleForgetsTheSessionButNotTheFlash) {
  Handshake();
  Transact({0x04, 0x01, 0x00, 0x01, 0x00, 0x00});
  EXPECT_THAT(Transact({0x05, 0x10, 0, 0, 0, 1, 0, 0x00}), ElementsAre(0x05, 0x00));
  SendRequest({0x01});
  module_.Reset("test", clock_.Now());
  EXPECT_TRUE(RunFor(Milliseconds(100)).empty());  // the pending answer is gone
  EXPECT_EQ(sink_.discards, 1);
  Handshake();
  EXPECT_THAT(Transact({0x05, 0x11, 0, 0, 0, 1, 0, 0x00}), ElementsAre(0x05, 0x81));
  Bytes kept(1);
  flash_.Read(0x10, kept);
  EXPECT_EQ(kept[0], 0x00);
}

TEST_F(ModuleTest, OpeningThePortStandsInForTheResetLine) {
  Feed({0x00});
  RunFor(Milliseconds(50));            // the identification byte: the boot code is expected now
  module_.OnHostOpened(clock_.Now());  // a new login: the old dialogue is abandoned
  Handshake();
  module_.OnHostOpened(clock_.Now());  // the transport opens the port: the firmware goes on
  EXPECT_THAT(Transact({0x0F}), ElementsAre(0xEE, 0x00));
  module_.OnHostOpened(clock_.Now());  // a host that lost the session starts a login
  Handshake();
}

TEST_F(ModuleTest, AnStxFloodTakesThePlaceOfTheAnswer) {
  faults_.AddRule({FaultKind::kStxFlood, 1, 40});
  Handshake();
  SendRequest({0x0F});
  const Bytes flood = carry_.empty() ? RunFor(Milliseconds(100)) : carry_;
  carry_.clear();
  EXPECT_EQ(flood, Bytes(40, kStx));
  EXPECT_TRUE(RunFor(Milliseconds(3000)).empty()) << "no answer follows the flood";
  EXPECT_THAT(Transact({0x0F}), ElementsAre(0xEE, 0x00)) << "the next command is answered";
}

TEST_F(ModuleTest, GarbageFollowsTheLoginAnswerOnceItIsDelivered) {
  faults_.AddRule({FaultKind::kGarbageAfterLogin, 1, 32});
  Handshake();
  SendRequest({0x01});
  const Bytes start = carry_.empty() ? RunFor(Milliseconds(100)) : carry_;
  ASSERT_EQ(start, Bytes{kStx});
  EXPECT_THAT(ParseModuleBlock(Feed({kDle})).value_or(Bytes{}), ElementsAre(0x01, 0x01, 0x03, 3, 1, 7));
  EXPECT_EQ(Feed({kDle}).size(), 32u) << "the host's DLE delivered the answer: the garbage follows";
}

class SilentExitTest : public ModuleTest {
 protected:
  SilentExitTest() : ModuleTest(Changed([](SimConfig& c) { c.firmware.silentExitModes = 1u << 2; })) {}
};

TEST_F(SilentExitTest, ASilentExitModeReturnsWithoutAnAnswer) {
  Handshake();
  SendRequest({0x08, 0x02, 0, 0, 0, 0});
  EXPECT_TRUE(RunFor(Milliseconds(100)).empty());
  EXPECT_FALSE(module_.InFirmware());
}

class HeaderModeTest : public ModuleTest {
 protected:
  HeaderModeTest() : ModuleTest(Changed([](SimConfig& c) { c.channel.headerMode = true; })) {}
};

TEST_F(HeaderModeTest, EveryMessageIsAnnouncedAndAccepted) {
  Handshake();
  SendRequest({0x02, 0x01, 0x00});  // header: type 2, one byte follows
  EXPECT_THAT(ReceiveAnswer().value_or(Bytes{}), ElementsAre(0x00, 0x00));
  SendRequest({0x01});
  EXPECT_THAT(ReceiveAnswer().value_or(Bytes{}), ElementsAre(0x02, 0x06, 0x00));  // the answer's header
  EXPECT_TRUE(RunFor(Milliseconds(100)).empty());                                 // waits for the host's reply
  SendRequest({0x00, 0x00});
  EXPECT_THAT(ReceiveAnswer().value_or(Bytes{}), ElementsAre(0x01, 0x01, 0x03, 3, 1, 7));
}

TEST_F(HeaderModeTest, AWrongTypeOrAnOversizedLengthIsRefused) {
  Handshake();
  SendRequest({0x01, 0x01, 0x00});
  EXPECT_THAT(ReceiveAnswer().value_or(Bytes{}), ElementsAre(0x00, 0xFF));
  SendRequest({0x02, 0x01, 0x20});  // 0x2001 bytes do not fit
  EXPECT_THAT(ReceiveAnswer().value_or(Bytes{}), ElementsAre(0x00, 0xFF));
  SendRequest({0x01});  // no header accepted: taken for a header, refused
  EXPECT_THAT(ReceiveAnswer().value_or(Bytes{}), ElementsAre(0x00, 0xFF));
}

}  // namespace
}  // namespace zk::modsim
