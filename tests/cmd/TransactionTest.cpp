#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "tests/cmd/FakeNetFixture.h"

#include <gtest/gtest.h>

#include <optional>

namespace zk::cmd::test {
namespace {

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentSession().pollPause = [] {};
    net_.Bind();
  }
  void TearDown() override { CurrentSession().pollPause = nullptr; }
  FakeNet net_;
};

TEST_F(TransactionTest, RequestGoesOutWithItsLengthAndAnswerIsUsed) {
  net_.Answer({0x0C});
  BaseAddressRecord record{0x00123456, 2};
  EXPECT_EQ(CmmSetFlashBaseAddress(&record), 0u);
  EXPECT_EQ(net_.Request(), (std::vector<uint8_t>{0x0C, 0x56, 0x34, 0x12, 0x00, 0x02, 0x00}));
  const FakeNetCounts c = net_.Counts();
  EXPECT_EQ(c.recData, 1);
  EXPECT_EQ(c.lastArmTime, 0u);
  EXPECT_EQ(c.lastRestart, 40000u);
}

// A transaction runs on the session it is given, with that session's
// transport and poll pause.
class OwnSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.pollPause = [this] { ++pauses_; };
    net_.Bind();
  }
  Session session_;
  FakeNet net_{session_};
  int pauses_ = 0;
};

TEST_F(OwnSessionTest, RestartStatusOnEveryWaitArmsFourTimesForALimitOfThree) {
  net_.Statuses({251, 251, 251, 251, 251});
  EXPECT_EQ(RunTransaction(session_, request::CodeOnly(session_.buffer, Command::Login)), kReceiveTimeout);
  EXPECT_EQ(net_.Counts().recData, 4);
  EXPECT_EQ(net_.Counts().sendData, 1);
}

TEST_F(OwnSessionTest, APendingReceptionIsPolledWithTheSessionsPause) {
  net_.Statuses({253, 253, 253, 0});
  net_.Answer({0xEE});
  EXPECT_EQ(RunTransaction(session_, request::CodeOnly(session_.buffer, Command::FirmwareGeneration)), kOk);
  EXPECT_EQ(net_.Counts().getRxStatus, 4);
  EXPECT_EQ(pauses_, 3);
  EXPECT_EQ(session_.lastEcho, std::optional<uint8_t>(0xEE));
}

TEST_F(TransactionTest, PendingStatusIsPolledUntilItSettles) {
  net_.Statuses({253, 253, 253, 0});
  net_.Answer({0x0B, 0x00});
  uint8_t secret[] = {'a', 'b'};
  PasswordBlock block{2, secret};
  EXPECT_EQ(CmmSendPassword(&block), 0u);
  EXPECT_EQ(net_.Counts().getRxStatus, 4);
  EXPECT_EQ(CurrentSession().settings.passwordAccepted, 1u);
  EXPECT_EQ(net_.Request(), (std::vector<uint8_t>{0x0B, 2, 0, 0, 0, 'a', 'b'}));
}

TEST_F(TransactionTest, ARefusedPasswordClearsTheFlag) {
  CurrentSession().settings.passwordAccepted = 1;
  net_.Answer({0x0B, 0x90});
  uint8_t secret[] = {'x'};
  PasswordBlock block{1, secret};
  EXPECT_EQ(CmmSendPassword(&block), 0x90u);
  EXPECT_EQ(CurrentSession().settings.passwordAccepted, 0u);
  // An answer that is no echo leaves the flag and returns its byte.
  CurrentSession().settings.passwordAccepted = 1;
  net_.Answer({0x33, 0x00});
  EXPECT_EQ(CmmSendPassword(&block), 0x33u);
  EXPECT_EQ(CurrentSession().settings.passwordAccepted, 1u);
}

TEST_F(TransactionTest, APasswordLongerThanTheBufferIsRefusedUnsent) {
  std::vector<uint8_t> secret(kCommandBufferSize);
  PasswordBlock block{static_cast<uint32_t>(secret.size()), secret.data()};
  EXPECT_EQ(CmmSendPassword(&block), kBufferTooSmall);
  EXPECT_EQ(net_.Counts().sendData, 0);
}

TEST_F(TransactionTest, TransportFailuresBecomeTheirCodes) {
  net_.ArmResults({250});
  EXPECT_EQ(CmmCheckOldZelkor(), kReceiveTimeout);
  EXPECT_EQ(net_.Counts().sendData, 0);  // nothing is sent without a reception
  net_.setSendResult(250);
  EXPECT_EQ(CmmCheckOldZelkor(), kSendFailed);
  net_.setSendResult(0);
  net_.Statuses({249});
  EXPECT_EQ(CmmCheckOldZelkor(), kReceiveTimeout);
}

TEST_F(TransactionTest, FirmwareGenerationIsJudgedByItsMarker) {
  net_.Answer({0xEE});
  EXPECT_EQ(CmmCheckOldZelkor(), 0u);
  net_.Answer({0x0F});
  EXPECT_EQ(CmmCheckOldZelkor(), kOldFirmware);
}

struct EchoCase {
  Command command;
  uint8_t echo;
  uint8_t status;
  ResultCode expected;
};

class EchoJudgement : public ::testing::TestWithParam<EchoCase> {};

TEST_P(EchoJudgement, WrongOrRightEchoGivesTheCommandsResult) {
  const EchoCase c = GetParam();
  Session session;
  session.buffer[0] = c.echo;
  session.buffer[1] = c.status;
  EXPECT_EQ(JudgeAnswer(session, c.command), c.expected)
      << "command " << int(Code(c.command)) << " echo " << int(c.echo);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EchoJudgement,
    ::testing::Values(EchoCase{Command::SelectFlashLib, 0x05, 0, kSendFailed},
                      EchoCase{Command::SelectFlashLib, 0x04, 0x81, kOk}, EchoCase{Command::Program, 0x05, 0x41, 0x41},
                      EchoCase{Command::Program, 0x44, 0, 0x44}, EchoCase{Command::Program, 0x00, 0, kSendFailed},
                      EchoCase{Command::Password, 0x0A, 0, 0x0A}, EchoCase{Command::Read, 0x07, 0, 0x07},
                      EchoCase{Command::Read, 0x06, 0x45, 0x45}, EchoCase{Command::ReadNext, 0x06, 0, kReceiveTimeout},
                      EchoCase{Command::ReadNext, 0xF6, 0x30, 0x30},
                      EchoCase{Command::EraseSectors, 0x08, 0, kReceiveTimeout},
                      EchoCase{Command::EraseSectors, 0x07, 0x81, kNoFlashLibrarySelected},
                      EchoCase{Command::EraseSectors, 0x07, 0x41, kOk},
                      EchoCase{Command::EraseBlocks, 0x07, 0, kReceiveTimeout},
                      EchoCase{Command::EraseChip, 0x0A, 0x81, kNoFlashLibrarySelected},
                      EchoCase{Command::SectorStatus, 0x02, 0, kReceiveTimeout},
                      EchoCase{Command::SectorStatusNext, 0xF7, 0, kReceiveTimeout},
                      EchoCase{Command::EraseSectorsNext, 0xF7, 1, kOk}, EchoCase{Command::FindFlashLib, 0x99, 0, kOk},
                      EchoCase{Command::Login, 0x00, 0, kOk}));

TEST(TransactionWithoutTransport, FailsWithoutCallingAnything) {
  CurrentSession().transport.Release();
  EXPECT_EQ(CmmCheckOldZelkor(), kNetDllError);
  BaseAddressRecord record{0, 0};
  EXPECT_EQ(CmmSetFlashBaseAddress(&record), kNetDllError);
}

class ExitTest : public TransactionTest {};

TEST_F(ExitTest, ExitWithoutConnectionDoesNothing) {
  CurrentSession().transport.Release();
  ExitRequest request{0, 0};
  EXPECT_EQ(CmmExitZelkor(&request), 0u);
  EXPECT_EQ(net_.Counts().sendData, 0);
}

TEST_F(ExitTest, ASilentModuleStillDisconnects) {
  net_.Statuses({249});
  ExitRequest request{1, 0x1000};
  EXPECT_EQ(CmmExitZelkor(&request), 0u);
  EXPECT_EQ(net_.Request(), (std::vector<uint8_t>{0x08, 0x01, 0x00, 0x10, 0x00, 0x00}));
  EXPECT_EQ(net_.Counts().shutDown, 1);
  EXPECT_FALSE(CurrentSession().transport.Bound());
}

TEST_F(ExitTest, FailedArmingSendsNothingButStillShutsDown) {
  net_.ArmResults({250});
  ExitRequest request{0, 0};
  EXPECT_EQ(CmmExitZelkor(&request), kReceiveTimeout);
  EXPECT_EQ(net_.Counts().sendData, 0);
  EXPECT_EQ(net_.Counts().shutDown, 1);
}

TEST_F(ExitTest, FailedRearmingEndsAtOnce) {
  net_.Statuses({251});
  net_.ArmResults({0, 250});
  ExitRequest request{0, 0};
  EXPECT_EQ(CmmExitZelkor(&request), kReceiveTimeout);
  EXPECT_EQ(net_.Counts().shutDown, 0);
  EXPECT_EQ(CmmGetCurrentThreadStatus(), kReceiveTimeout);
}

}  // namespace
}  // namespace zk::cmd::test
