// Port settings chosen in the dialog that cannot be written back: the user
// is told which file, and the file stays as it was.
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "tests/link/NetFixture.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zk::test {
namespace {

using namespace zk::link;

class ChoosingDialog : public SettingsDialog {
 public:
  std::optional<DialogChoice> Run(const DialogSetup&) override {
    return DialogChoice{std::string("COM2"), std::string("9600"), false};
  }
};

class Boxes : public MessageBoxHandler {
 public:
  int Show(std::string_view text, std::string_view, uint32_t) override {
    texts.emplace_back(text);
    return IDOK;
  }
  std::vector<std::string> texts;
};

TEST_F(NetFixture, SettingsThatCannotBeWrittenAreReportedWithTheFile) {
  namespace fs = std::filesystem;
  const std::string file = Module("NoCOMScan=1\n", "readonly.ini");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = *files::ReadAll(file);
  Boxes boxes;
  SetMessageBoxHandler(&boxes, false);
  ChoosingDialog dialog;
  EXPECT_EQ(net.SelectProperty(file.c_str(), kSection, &dialog), 0);
  SetMessageBoxHandler(nullptr, false);
  EXPECT_EQ(*files::ReadAll(file), before);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(boxes.texts[0].find(file), std::string::npos);
}

}  // namespace
}  // namespace zk::test
