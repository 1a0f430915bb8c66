// The disconnect choices: what a module offers, the remembered choice, the
// check-box rules, and the record and the module description at disconnect.
#include "gui/connect/ConnectPage.h"
#include "gui/connect/DisconnectChoices.h"
#include "gui/connect/ModuleTree.h"
#include "platform/Ini.h"
#include "tests/gui/GuiFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace zk::gui::test {
namespace {

class DisconnectTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    AddModule("Mod", StandardModule());
  }
  void ConnectMod() {
    StartApp();
    Connect("Mod");
    ASSERT_TRUE(Page()->Connected());
    ClearCalls();
  }
  CConnectPage* Page() const { return app_->ConnectPage(); }
  CDisconnectChoices* Choices() const { return Page()->Choices(); }
  std::string Remembered(const char* key) const { return ini::GetString(ModulIni("Mod"), "RS232", key, "", 20); }
  bool Shown(QWidget* control) const { return control->isVisibleTo(Page()); }
};

TEST_F(DisconnectTest, TheOfferedChoicesAppearOnlyWhileConnected) {
  StartApp();
  Page()->Tree()->SelectPath("Mod");
  EXPECT_FALSE(Shown(Choices()));
  EXPECT_TRUE(Shown(Page()->AutoBoot()));
  Page()->ConnectButton()->click();
  EXPECT_TRUE(Shown(Choices()->SoftwareReset()));
  EXPECT_TRUE(Shown(Choices()->HardwareReset()));
  EXPECT_TRUE(Shown(Choices()->JumpToAddress()));
  EXPECT_TRUE(Shown(Choices()->JumpAddress()));
  EXPECT_FALSE(Choices()->JumpAddress()->isEnabled());
  EXPECT_FALSE(Shown(Choices()->JumpToZero()));
  EXPECT_FALSE(Shown(Page()->AutoBoot()));
  for (QCheckBox* box : {Choices()->SoftwareReset(), Choices()->HardwareReset(), Choices()->JumpToAddress()}) {
    EXPECT_FALSE(box->isChecked());
  }
}

TEST_F(DisconnectTest, JumpWithoutAddressOffersTheJumpToZero) {
  SetKeys("Mod", "Disconnect", {{"SWReset", "0"}, {"JumpToXXX", "0"}});
  SetKeys("Mod", "RS232", {{"AutoBootEnable", "0"}, {"Disconnect", "1"}});
  ConnectMod();
  EXPECT_FALSE(Shown(Choices()->SoftwareReset()));
  EXPECT_FALSE(Shown(Choices()->HardwareReset()));
  EXPECT_FALSE(Shown(Choices()->JumpToAddress()));
  EXPECT_TRUE(Shown(Choices()->JumpToZero()));
  // The remembered jump is restored on the box that is offered.
  EXPECT_TRUE(Choices()->JumpToZero()->isChecked());
}

TEST_F(DisconnectTest, TheRememberedChoiceIsRestored) {
  SetKeys("Mod", "RS232", {{"Disconnect", "1"}, {"JumpAddress", "7936"}});
  ConnectMod();
  EXPECT_TRUE(Choices()->JumpToAddress()->isChecked());
  EXPECT_EQ(Choices()->JumpAddress()->text(), "1F00");
  EXPECT_TRUE(Choices()->JumpAddress()->isEnabled());
  EXPECT_FALSE(Choices()->SoftwareReset()->isEnabled());
  EXPECT_FALSE(Choices()->HardwareReset()->isEnabled());

  Page()->ConnectOrDisconnect();
  SetKeys("Mod", "RS232", {{"Disconnect", "3"}});
  Connect("Mod");
  EXPECT_TRUE(Choices()->HardwareReset()->isChecked());
  EXPECT_FALSE(Choices()->JumpToAddress()->isChecked());
  EXPECT_FALSE(Choices()->SoftwareReset()->isEnabled());
  EXPECT_FALSE(Choices()->JumpToAddress()->isEnabled());
}

TEST_F(DisconnectTest, ResetsAndTheJumpToAnAddressExcludeOneAnother) {
  ConnectMod();
  Choices()->SoftwareReset()->click();
  EXPECT_FALSE(Choices()->JumpToAddress()->isEnabled());
  EXPECT_FALSE(Choices()->HardwareReset()->isEnabled());
  Choices()->SoftwareReset()->click();
  EXPECT_TRUE(Choices()->JumpToAddress()->isEnabled());
  EXPECT_TRUE(Choices()->HardwareReset()->isEnabled());
  Choices()->JumpToAddress()->click();
  EXPECT_TRUE(Choices()->JumpAddress()->isEnabled());
  EXPECT_FALSE(Choices()->SoftwareReset()->isEnabled());
  EXPECT_FALSE(Choices()->HardwareReset()->isEnabled());
  Choices()->JumpToAddress()->click();
  EXPECT_FALSE(Choices()->JumpAddress()->isEnabled());
  EXPECT_TRUE(Choices()->SoftwareReset()->isEnabled());
}

struct DisconnectCase {
  const char* name;
  std::function<void(CDisconnectChoices*)> choose;
  const char* exit;
  const char* disconnect;  // [RS232] Disconnect afterwards
  const char* jumpAddress;
};

class DisconnectModeTest : public DisconnectTest, public ::testing::WithParamInterface<DisconnectCase> {};

TEST_P(DisconnectModeTest, SendsTheRecordAndRemembersTheChoice) {
  SetKeys("Mod", "RS232", {{"JumpAddress", "5"}});
  ConnectMod();
  GetParam().choose(Choices());
  Page()->ConnectButton()->click();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"DmEnableProtectedAreas 0", GetParam().exit}));
  EXPECT_EQ(Remembered("Disconnect"), GetParam().disconnect);
  EXPECT_EQ(Remembered("JumpAddress"), GetParam().jumpAddress);
  EXPECT_FALSE(Page()->Connected());
  EXPECT_EQ(Page()->ConnectButton()->text(), "Connect");
  EXPECT_TRUE(Page()->Tree()->isEnabled());
  EXPECT_FALSE(Shown(Choices()));
  EXPECT_TRUE(Shown(Page()->AutoBoot()));
  EXPECT_TRUE(app_->Sheet()->ToolButtonEnabled(kCmdToolConnect));
  EXPECT_FALSE(app_->Sheet()->ToolButtonEnabled(kCmdToolDisconnect));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DisconnectModeTest,
    ::testing::Values(DisconnectCase{"NoBox", [](CDisconnectChoices*) {}, "DmExitZelkor 0 0", "0", "5"},
                      DisconnectCase{"SoftwareReset", [](CDisconnectChoices* c) { c->SoftwareReset()->click(); },
                                     "DmExitZelkor 2 0", "2", "5"},
                      DisconnectCase{"HardwareReset", [](CDisconnectChoices* c) { c->HardwareReset()->click(); },
                                     "DmExitZelkor 3 0", "3", "5"},
                      DisconnectCase{"JumpToAddress",
                                     [](CDisconnectChoices* c) {
                                       c->JumpToAddress()->click();
                                       c->JumpAddress()->setText("0x1F00");
                                     },
                                     "DmExitZelkor 1 7936", "1", "7936"},
                      DisconnectCase{"JumpToEmptyAddress", [](CDisconnectChoices* c) { c->JumpToAddress()->click(); },
                                     "DmExitZelkor 1 0", "1", "0"}),
    [](const ::testing::TestParamInfo<DisconnectCase>& info) { return std::string(info.param.name); });

TEST_F(DisconnectTest, JumpToZeroSendsModeOneAtZero) {
  SetKeys("Mod", "Disconnect", {{"JumpToXXX", "0"}});
  ConnectMod();
  Choices()->JumpToZero()->click();
  Page()->ConnectButton()->click();
  EXPECT_EQ(Calls().back(), "DmExitZelkor 1 0");
  EXPECT_EQ(Remembered("Disconnect"), "1");
  EXPECT_EQ(Remembered("JumpAddress"), "0");
}

TEST_F(DisconnectTest, AnInvalidJumpAddressIsRefusedAndTheConnectionStays) {
  ConnectMod();
  Choices()->JumpToAddress()->click();
  Choices()->JumpAddress()->setText("12G");
  Page()->ConnectButton()->click();
  EXPECT_TRUE(Page()->Connected());
  EXPECT_TRUE(Calls().empty());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_NE(boxes_.shown[0].text.find("12G"), std::string::npos);
  Choices()->JumpAddress()->setText("1f");
  Page()->ConnectButton()->click();
  EXPECT_EQ(Calls().back(), "DmExitZelkor 1 31");
}

}  // namespace
}  // namespace zk::gui::test
