#include "platform/WriteWarning.h"

#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zk {
namespace {

class Boxes : public MessageBoxHandler {
 public:
  int Show(std::string_view text, std::string_view caption, uint32_t type) override {
    texts.emplace_back(text);
    types.push_back(type);
    (void)caption;
    return IDOK;
  }
  std::vector<std::string> texts;
  std::vector<uint32_t> types;
};

class WriteWarningTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMessageBoxHandler(&boxes_, false); }
  void TearDown() override { SetMessageBoxHandler(nullptr, false); }

  // Paths of this test only: the record of failed files is process-wide.
  static std::string Path(const std::string& name) { return "/write-warning-test/" + name + "/modul.ini"; }

  Boxes boxes_;
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
}

TEST(WriteWarningText, NamesTheFileAndTheGroup) {
  const std::string text = WriteFailedText("/usr/lib/zelkor/target/M/modul.ini");
  EXPECT_NE(text.find("/usr/lib/zelkor/target/M/modul.ini"), std::string::npos);
  EXPECT_NE(text.find("dialout"), std::string::npos);
  EXPECT_NE(text.find("left as it was"), std::string::npos);
}

}  // namespace
}  // namespace zk
