// Port settings chosen in the dialog that cannot be written back: the user
// is told which file, and nothing changes, neither the file nor the port the
// next connection uses.
#include "platform/Files.h"
#include "tests/link/NetFixture.h"
#include "tests/platform/MessageBoxRecorder.h"

#include <filesystem>
#include <string>

namespace zk::test {
namespace {

using namespace zk::link;

class ChoosingDialog : public SettingsDialog {
 public:
  std::optional<DialogChoice> Run(const DialogSetup&) override {
    return DialogChoice{std::string("COM2"), std::string("9600"), false};
  }
};

TEST_F(NetFixture, SettingsThatCannotBeWrittenAreReportedWithTheFile) {
  namespace fs = std::filesystem;
  const std::string file = Module("NoCOMScan=1\n", "readonly.ini");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = *files::ReadAll(file);
  test::MessageBoxRecorder boxes;
  ChoosingDialog dialog;
  EXPECT_EQ(ports.SelectProperty(file.c_str(), kSection, &dialog), 0);
  EXPECT_EQ(*files::ReadAll(file), before);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(boxes.texts[0].find(file), std::string::npos);
  EXPECT_EQ(ports.SelectParams(file.c_str(), kSection), 1);
  EXPECT_EQ(ports.portNumber(), kPort);
  EXPECT_EQ(ports.baudRate(), 57600);
}

}  // namespace
}  // namespace zk::test
