#include "platform/WriteWarning.h"

#include "platform/MessageBox.h"
#include "tests/platform/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <string>

namespace zk {
namespace {

class WriteWarningTest : public ::testing::Test {
 protected:
  // Paths of this test only: the record of failed files is process-wide.
  static std::string Path(const std::string& name) { return "/write-warning-test/" + name + "/modul.ini"; }

  test::MessageBoxRecorder boxes_;
};

TEST_F(WriteWarningTest, OneWarningPerFileUntilAWriteToItSucceeds) {
  EXPECT_FALSE(ReportWrite(false, Path("a")));
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_NE(boxes_.texts[0].find(Path("a")), std::string::npos);
  EXPECT_EQ(boxes_.types[0], MB_OK | MB_ICONWARNING);

  EXPECT_FALSE(ReportWrite(false, Path("a")));  // the dialog's second key
  EXPECT_EQ(boxes_.texts.size(), 1u);
  EXPECT_FALSE(ReportWrite(false, Path("b")));
  EXPECT_EQ(boxes_.texts.size(), 2u);

  EXPECT_TRUE(ReportWrite(true, Path("a")));
  EXPECT_EQ(boxes_.texts.size(), 2u);
  EXPECT_FALSE(ReportWrite(false, Path("a")));  // failing again after a success
  EXPECT_EQ(boxes_.texts.size(), 3u);
  // The record left as found, for a repeated run (--gtest_repeat).
  ReportWrite(true, Path("a"));
  ReportWrite(true, Path("b"));
}

TEST(WriteWarningText, NamesTheFileAndNoGroupToJoin) {
  const std::string text = WriteFailedText("/home/anna/.config/zelkor/target/M/modul.ini");
  EXPECT_NE(text.find("/home/anna/.config/zelkor/target/M/modul.ini"), std::string::npos);
  EXPECT_EQ(text.find("dialout"), std::string::npos);  // no group may write the installation
  EXPECT_NE(text.find("left as it was"), std::string::npos);
}

}  // namespace
}  // namespace zk
