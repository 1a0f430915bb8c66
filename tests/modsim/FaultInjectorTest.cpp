#include "modsim/ControlChannel.h"
#include "modsim/FaultInjector.h"

#include <gtest/gtest.h>

#include <vector>

namespace zk::modsim {
namespace {

std::vector<int> Outcomes(FaultInjector& faults, int n) {
  std::vector<int> out;
  for (int i = 0; i < n; ++i) {
    const auto b = faults.FilterRx(static_cast<uint8_t>(i));
    out.push_back(b ? *b : -1);
  }
  return out;
}

TEST(FaultInjector, LineFaultsRepeatForTheSameSeed) {
  const LineFaultRates rates{0.1, 0.1, 0, 0};
  FaultInjector a(42, rates), b(42, rates), c(43, rates);
  const auto first = Outcomes(a, 500);
  EXPECT_EQ(first, Outcomes(b, 500));
  EXPECT_NE(first, Outcomes(c, 500));
  int lost = 0, changed = 0;
  for (int i = 0; i < 500; ++i) {
    if (first[i] < 0) {
      ++lost;
    } else if (first[i] != (i & 0xFF)) {
      ++changed;
    }
  }
  EXPECT_GT(lost, 20);
  EXPECT_LT(lost, 90);
  EXPECT_GT(changed, 20);
}

TEST(FaultInjector, SendingDoesNotShiftTheReceiveStream) {
  const LineFaultRates rates{0.2, 0.2, 0.2, 0.2};
  FaultInjector a(5, rates), b(5, rates);
  for (int i = 0; i < 37; ++i) b.FilterTx(0x11);
  EXPECT_EQ(Outcomes(a, 200), Outcomes(b, 200));
}

TEST(FaultInjector, RulesFireAtTheirCountedOpportunity) {
  FaultInjector faults(1, {});
  faults.AddRule({FaultKind::kNakBlock, 3, std::nullopt});
  faults.AddRule({FaultKind::kWrongEcho, 0, 0x77});
  EXPECT_FALSE(faults.Check(FaultKind::kNakBlock));
  EXPECT_FALSE(faults.Check(FaultKind::kNakBlock));
  EXPECT_TRUE(faults.Check(FaultKind::kNakBlock));
  EXPECT_FALSE(faults.Check(FaultKind::kNakBlock));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(faults.Check(FaultKind::kWrongEcho)->ValueOr(0), 0x77u);
  faults.ArmNext(FaultKind::kDelayAnswer, 250);
  EXPECT_EQ(faults.Check(FaultKind::kDelayAnswer)->ValueOr(0), 250u);
  EXPECT_FALSE(faults.Check(FaultKind::kDelayAnswer));
}

TEST(FaultInjector, ParsesRulesAndRefusesBadOnes) {
  std::string error;
  const auto rule = ParseFaultRule("delay-answer@2:0x100", &error);
  ASSERT_TRUE(rule) << error;
  EXPECT_EQ(rule->kind, FaultKind::kDelayAnswer);
  EXPECT_EQ(rule->occurrence, 2u);
  EXPECT_EQ(rule->value, 0x100u);
  EXPECT_EQ(ParseFaultRule("handshake-echo@*", &error)->occurrence, 0u);
  EXPECT_FALSE(ParseFaultRule("no-such-fault", &error));
  EXPECT_NE(error.find("no-such-fault"), std::string::npos);
  EXPECT_FALSE(ParseFaultRule("nak-block@0", &error));
  EXPECT_FALSE(ParseFaultRule("wrong-echo:zz", &error));
}

TEST(ControlCommands, ParseResetQuitAndFaults) {
  std::string error;
  EXPECT_EQ(ParseControlCommand(" reset ", &error)->kind, ControlCommand::Kind::kReset);
  EXPECT_EQ(ParseControlCommand("quit", &error)->kind, ControlCommand::Kind::kQuit);
  const auto fault = ParseControlCommand("fault boot-nak:3", &error);
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->fault.kind, FaultKind::kBootNak);
  EXPECT_EQ(fault->fault.value, 3u);
  EXPECT_FALSE(ParseControlCommand("reboot", &error));
}

}  // namespace
}  // namespace zk::modsim
