#include "common/HexText.h"

#include <gtest/gtest.h>

#include <utility>

namespace zk {
namespace {

TEST(HexText, DigitsAfterTheFirstLowerCaseX) {
  for (const auto& [text, value] : {std::pair<const char*, uint32_t>{"0x8000", 0x8000},
                                    {"8000", 0x8000},
                                    {"0x1f", 0x1F},
                                    {"x10", 0x10},
                                    {"FFFFFFFF", 0xFFFFFFFF},
                                    {"aBcD", 0xABCD}}) {
    EXPECT_EQ(HexTextToValue(text), value) << text;
  }
}

TEST(HexText, AnyOtherCharacterIsInvalid) {
  // Only a lower-case x separates.
  for (const char* text : {"12G", "0X1F", " 10", "+10", "0x1x2"}) {
    EXPECT_EQ(HexTextToValue(text), kInvalidHexValue) << text;
  }
}

TEST(HexText, EmptyTextIsZero) {
  EXPECT_EQ(HexTextToValue(""), 0u);
  EXPECT_EQ(HexTextToValue("0x"), 0u);
}

TEST(HexText, LongTextsKeepTheLowThirtyTwoBits) { EXPECT_EQ(HexTextToValue("123456789"), 0x23456789u); }

}  // namespace
}  // namespace zk
