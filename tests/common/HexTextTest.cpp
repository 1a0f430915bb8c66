#include "common/HexText.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(HexText, DigitsAfterTheFirstLowerCaseX) {
  EXPECT_EQ(HexTextToValue("0x8000"), 0x8000u);
  EXPECT_EQ(HexTextToValue("8000"), 0x8000u);
  EXPECT_EQ(HexTextToValue("0x1f"), 0x1Fu);
  EXPECT_EQ(HexTextToValue("x10"), 0x10u);
  EXPECT_EQ(HexTextToValue("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(HexTextToValue("aBcD"), 0xABCDu);
}

TEST(HexText, AnyOtherCharacterIsInvalid) {
  EXPECT_EQ(HexTextToValue("12G"), kInvalidHexValue);
  EXPECT_EQ(HexTextToValue("0X1F"), kInvalidHexValue);  // only a lower-case x separates
  EXPECT_EQ(HexTextToValue(" 10"), kInvalidHexValue);
  EXPECT_EQ(HexTextToValue("+10"), kInvalidHexValue);
  EXPECT_EQ(HexTextToValue("0x1x2"), kInvalidHexValue);
}

TEST(HexText, EmptyTextIsZero) {
  EXPECT_EQ(HexTextToValue(""), 0u);
  EXPECT_EQ(HexTextToValue("0x"), 0u);
}

TEST(HexText, LongTextsKeepTheLowThirtyTwoBits) {
  EXPECT_EQ(HexTextToValue("123456789"), 0x23456789u);
}

}  // namespace
}  // namespace zk
