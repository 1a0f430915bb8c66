#include "common/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>

namespace zk {
namespace {

TEST(ResultMessage, KnownCodesHaveTheirTexts) {
  EXPECT_STREQ(ResultMessage(kOk), "The operation completed successfuly");
  EXPECT_STREQ(ResultMessage(kInvalidAddress), "The specified address s invalid.");
  EXPECT_STREQ(ResultMessage(kNoFlashLibrary), "Couldn´t find flash library.");
  EXPECT_STREQ(ResultMessage(kNetInitFailed), "Couldn´t init newtork layer.");
  EXPECT_STREQ(ResultMessage(kTooFewBytes), "To few bytes specified.");
}

TEST(ResultMessage, AccessLayerCodesDifferFromCommandLayerCodes) {
  EXPECT_STREQ(ResultMessage(kDmDllNotLoaded), "Data modul dll not loaded.");
  EXPECT_STREQ(ResultMessage(kCmdDllNotLoaded), "Couldn´t load command dll.");
  EXPECT_STREQ(ResultMessage(kDmDllError), "Error in data modul.");
  EXPECT_STREQ(ResultMessage(kAccessInvalidFileFormat), "invalid file format");
}

TEST(ResultMessage, CodesOutsideTheTableAreUnknown) {
  for (ResultCode code : {0xC0u, 0x03u, 0xF5u, 0x100u, 0xF00000E2u, 0xFFFFFFFFu, 0x100000FAu}) {
    EXPECT_STREQ(ResultMessage(code), "unknown error code") << code;
  }
  // A low byte alone never picks an access-layer text.
  EXPECT_STREQ(ResultMessage(0x000000FAu), "Couldn´t load command dll.");
}

TEST(ResultMessage, EveryCodeFromZeroToByteRangeResolves) {
  int known = 0;
  for (ResultCode code = 0; code < 256; ++code) {
    if (std::string(ResultMessage(code)) != "unknown error code") ++known;
  }
  // 45 byte-range codes have texts of their own (a failed save's 0x51, a
  // verification's mismatch 0x60, a short answer's 0x11 and refused blocks'
  // 0x12 among them); 255 is itself "unknown error code".
  EXPECT_EQ(known, 45);
  EXPECT_STREQ(ResultMessage(kFileSaveError), "Error saving the specified file.");
}

}  // namespace
}  // namespace zk
