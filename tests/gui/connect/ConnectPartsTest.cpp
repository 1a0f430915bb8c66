// The connect page's rules that need no window: the jump address and the
// disconnect record.
#include "gui/connect/JumpAddress.h"

#include <gtest/gtest.h>

namespace zk::gui {
namespace {

TEST(JumpAddressTest, ReadsTheDigitsAfterAnInnerLowerCaseX) {
  EXPECT_EQ(ReadJumpAddress("0x1F00"), 0x1F00u);
  EXPECT_EQ(ReadJumpAddress("1f00"), 0x1F00u);
  EXPECT_EQ(ReadJumpAddress("0x"), 0u);
  EXPECT_EQ(ReadJumpAddress(""), 0u);
  EXPECT_EQ(ReadJumpAddress("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ReadJumpAddress("00000000001F"), 0x1Fu);
}

TEST(JumpAddressTest, AnyOtherCharacterOrTooManyDigitsIsInvalid) {
  for (const char* text : {"12G", "0X1F", "x1F", "1x2x3", " 1F", "123456789"}) {
    EXPECT_FALSE(ParseJumpAddress(text)) << text;
    EXPECT_EQ(ReadJumpAddress(text), kInvalidJumpAddress) << text;
  }
}

TEST(JumpAddressTest, RememberedAddressShowsAsUpperCaseHex) {
  EXPECT_EQ(JumpAddressText(0x1F00), "1F00");
  EXPECT_EQ(JumpAddressText(0), "0");
  EXPECT_EQ(JumpAddressText(-1), "FFFFFFFF");
}

TEST(PlanDisconnectTest, NoBoxCheckedSendsPlainAndRemembersNothing) {
  const DisconnectPlan plan = PlanDisconnect({});
  EXPECT_EQ(uint8_t{plan.request.mode}, 0);
  EXPECT_EQ(uint32_t{plan.request.address}, 0u);
  EXPECT_FALSE(plan.disconnect);
  EXPECT_FALSE(plan.jumpAddress);
}

TEST(PlanDisconnectTest, EachBoxAndTheLastCheckedWins) {
  DisconnectChoice choice;
  choice.softwareReset = true;
  EXPECT_EQ(uint8_t{PlanDisconnect(choice).request.mode}, 2);
  choice.hardwareReset = true;
  EXPECT_EQ(uint8_t{PlanDisconnect(choice).request.mode}, 3);
  EXPECT_EQ(PlanDisconnect(choice).disconnect, 3);
  choice.jumpToAddress = true;
  choice.jumpText = "0x1F00";
  DisconnectPlan plan = PlanDisconnect(choice);
  EXPECT_EQ(uint8_t{plan.request.mode}, 1);
  EXPECT_EQ(uint32_t{plan.request.address}, 0x1F00u);
  EXPECT_EQ(plan.jumpAddress, 0x1F00);
  choice.jumpToZero = true;
  plan = PlanDisconnect(choice);
  EXPECT_EQ(uint8_t{plan.request.mode}, 1);
  EXPECT_EQ(uint32_t{plan.request.address}, 0u);
  EXPECT_EQ(plan.disconnect, 1);
  EXPECT_EQ(plan.jumpAddress, 0);
}

}  // namespace
}  // namespace zk::gui
