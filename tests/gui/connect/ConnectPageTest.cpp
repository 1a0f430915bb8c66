// The connect page against the scripted data manager: the module tree, the
// connect sequence in its order, its failures and the flash library choice.
#include "gui/connect/ConnectPage.h"
#include "gui/connect/ModuleTree.h"
#include "gui/dialogs/FlashLibDlg.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/treelist/TreeListCtrl.h"
#include "platform/Ini.h"
#include "tests/gui/GuiFixture.h"

#include <gmock/gmock.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace zk::gui::test {
namespace {

using ::testing::ElementsAre;

class ConnectPageTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    AddModule("Group/ModB", StandardModule(), "Module B");
    AddModule("Group/ModA", StandardModule(), "Module A text");
    AddModule("alpha/Inner/Deep", StandardModule());
    AddModule("Zeta", StandardModule(), "Zeta module");
  }

  CConnectPage* Page() const { return app_->ConnectPage(); }
  std::string Status() const { return Utf8(app_->Sheet()->StatusBar()->Text()); }
  // The connect sequence's calls without the polls.
  std::vector<std::string> Sequence() const { return Calls(); }
};

QStringList Texts(const QTreeWidgetItem* parent) {
  QStringList texts;
  for (int i = 0; i < parent->childCount(); ++i) texts << parent->child(i)->text(0);
  return texts;
}

TEST_F(ConnectPageTest, ThePortTheSelectedModuleNamesShowsWhatItMapsToBeforeConnect) {
  SetKeys("Zeta", "General", {{"ProtocolToUse", "RS232"}});
  SetKeys("Zeta", "RS232", {{"COM", "COM250"}});
  setenv("ZELKOR_COM250", "/dev/null", 1);
  StartApp();
  Page()->Tree()->SelectPath("Zeta");
  EXPECT_EQ(Page()->PortText()->text(), "COM250 is /dev/null (ZELKOR_COM250).");
  EXPECT_EQ(Page()->PortText(), app_->Sheet()->findChild<QLabel*>("portMapping"));
  unsetenv("ZELKOR_COM250");
  Page()->Tree()->SelectPath("Group/ModA");
  EXPECT_EQ(Page()->PortText()->text(), "The module description names no COM port.");
  Page()->Tree()->SelectPath("Zeta");
  EXPECT_TRUE(Page()->PortText()->text().startsWith("COM250 has no mapping: it falls back to /dev/ttyS249."))
      << Utf8(Page()->PortText()->text());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(ConnectPageTest, TreeIsSortedAndReadsChildrenWhenExpanded) {
  StartApp();
  CModuleTree* tree = Page()->Tree();
  EXPECT_EQ(Texts(tree->invisibleRootItem()), (QStringList{"alpha", "Group", "Zeta"}));
  QTreeWidgetItem* group = tree->topLevelItem(1);
  EXPECT_EQ(group->childCount(), 1);  // the dummy
  EXPECT_EQ(group->child(0)->text(0), "");
  group->setExpanded(true);
  EXPECT_EQ(Texts(group), (QStringList{"ModA", "ModB"}));
  EXPECT_EQ(group->child(0)->childCount(), 0);
  group->setExpanded(false);
  EXPECT_EQ(group->childCount(), 1);
  EXPECT_EQ(tree->topLevelItem(2)->childCount(), 0);
}

TEST_F(ConnectPageTest, LastModulIsSelectedAndItsTextShown) {
  SetLastModul("alpha\\Inner\\Deep");
  StartApp();
  const QTreeWidgetItem* item = Page()->Tree()->currentItem();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(CModuleTree::RelativePath(item), "alpha\\Inner\\Deep");
  Page()->Tree()->SelectPath("Group/ModA");
  EXPECT_EQ(Page()->InfoText()->text(), "Module A text");
  EXPECT_EQ(ModuleDescription().Path(), ModulIni("Group/ModA"));
  // A module without info.txt leaves the text as it was.
  Page()->Tree()->SelectPath("alpha/Inner/Deep");
  EXPECT_EQ(Page()->InfoText()->text(), "Module A text");
}

TEST_F(ConnectPageTest, LastModulWhoseFirstPartIsGoneSelectsNothing) {
  SetLastModul("Gone\\ModA");
  StartApp();
  EXPECT_EQ(Page()->Tree()->currentItem(), nullptr);
  SetLastModul("Group\\Gone");
  app_.reset();
  StartApp();
  ASSERT_NE(Page()->Tree()->currentItem(), nullptr);
  EXPECT_EQ(Page()->Tree()->currentItem()->text(0), "Group");
}

TEST_F(ConnectPageTest, AutoBootBoxFollowsTheModuleAndIsWrittenAtConnect) {
  AddModule("NoAuto", "[RS232]\nAutoBootEnable=0\n");
  StartApp();
  Page()->Tree()->SelectPath("Group/ModA");
  EXPECT_TRUE(Page()->AutoBoot()->isVisibleTo(Page()));
  EXPECT_TRUE(Page()->AutoBoot()->isChecked());
  Page()->Tree()->SelectPath("NoAuto");
  EXPECT_FALSE(Page()->AutoBoot()->isVisibleTo(Page()));
  // A module that offers no box keeps its description: AutoBoot=0 there
  // would stop the reset and boot lines being driven.
  Page()->ConnectButton()->click();
  EXPECT_EQ(ini::GetString(ModulIni("NoAuto"), "RS232", "AutoBoot", "none", 10), "none");
  ASSERT_TRUE(Page()->Connected());
  Page()->ConnectButton()->click();  // disconnects
  Page()->Tree()->SelectPath("Group/ModA");
  Page()->AutoBoot()->setChecked(false);
  Page()->ConnectButton()->click();
  EXPECT_EQ(ini::GetString(ModulIni("Group/ModA"), "RS232", "AutoBoot", "", 10), "0");
}

TEST_F(ConnectPageTest, AGroupItemConnectsNothingButIsRemembered) {
  StartApp();
  Page()->Tree()->SelectPath("Group");
  Page()->ConnectButton()->click();
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(Page()->Connected());
  EXPECT_EQ(LastModul(), "Group");
}

TEST_F(ConnectPageTest, ConnectRunsTheSequenceInOrderForEveryBank) {
  AddModule("Two", StandardModule());
  SetKeys("Two", "FlashConfig",
          {{"FlashBanks", "2"}, {"FlashStart1", "0x040000"}, {"FlashEnd1", "0x0BFFFF"}, {"FlashMode1", "0"}});
  Fake().libraries[0x40000] = {{{2, 0x2202, 0x00a7, 1}}};
  Fake().blocks[0x40000] = {{0x40000, 0x10000, 8}};
  StartApp();
  Connect("Two");
  ASSERT_TRUE(Page()->Connected()) << ::testing::PrintToString(BoxTexts());
  EXPECT_THAT(
      Sequence(),
      ElementsAre("DmLogin " + ModulIni("Two"), "DmCheckOldZelkor", "DmGetProtectedAreas", "DmFindFlashLib 0 0",
                  "DmFindFlashLib 1 0", "DmSelectFlashLib 1 1", "DmSetFlashBaseAddress 0 1", "DmGetSectorInfos current",
                  "DmFindFlashLib 0 262144", "DmFindFlashLib 1 262144", "DmSelectFlashLib 2 1",
                  "DmSetFlashBaseAddress 262144 0", "DmGetSectorInfos current", "DmGetGeneralInfos"));
  EXPECT_EQ(LastModul(), "Two");
  EXPECT_EQ(Status(), "Ready");
  EXPECT_EQ(Page()->ConnectButton()->text(), "Disconnect");
  EXPECT_FALSE(Page()->Tree()->isEnabled());
  EXPECT_FALSE(app_->Sheet()->ToolButtonEnabled(kCmdToolConnect));
  EXPECT_TRUE(app_->Sheet()->ToolButtonEnabled(kCmdToolDisconnect));
  EXPECT_EQ(app_->Sheet()->StatusBar()->Progress(), nullptr);
  EXPECT_EQ(app_->Sheet()->GetActivePage(), app_->FlashInfoPage());
  EXPECT_EQ(TheInfoUse().Major(), "2");
  EXPECT_EQ(TheInfoUse().Build(), "7");

  QTreeWidget* banks = app_->FlashInfoPage()->BankList();
  ASSERT_EQ(banks->topLevelItemCount(), 2);
  EXPECT_EQ(banks->topLevelItem(0)->text(0), "Bank 0: ZKF256 (test)");
  EXPECT_EQ(banks->topLevelItem(0)->text(1), "2101H");
  EXPECT_EQ(banks->topLevelItem(0)->text(2), "00A7H");
  EXPECT_EQ(banks->topLevelItem(0)->text(3), "256 kB");
  EXPECT_EQ(banks->topLevelItem(1)->text(0), "Bank 1: ZKF512 (test)");
  EXPECT_EQ(banks->topLevelItem(1)->text(3), "512 kB x2");
  EXPECT_EQ(banks->topLevelItem(1)->text(4), "0x040000");
  EXPECT_EQ(app_->FlashInfoPage()->Table()->topLevelItemCount(), 3);
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(ConnectPageTest, NoFlashBanksMeansOneBankAtFlashStart) {
  AddModule("One", "[General]\nDmDLL=KORDm\n[FlashConfig]\nFlashStart=0x10000\nFlashMode=1\n");
  Fake().libraries[0x10000] = Fake().libraries[0];
  StartApp();
  Connect("One");
  ASSERT_TRUE(Page()->Connected());
  EXPECT_EQ(Calls("DmFindFlashLib 0"), std::vector<std::string>{"DmFindFlashLib 0 65536"});
  EXPECT_EQ(Calls("DmSetFlashBaseAddress"), std::vector<std::string>{"DmSetFlashBaseAddress 65536 1"});
}

TEST_F(ConnectPageTest, SeveralLibrariesAreOfferedSortedAndTheChosenOneSelected) {
  Fake().libraries[0] = {{{1, 0x2101, 0x00a7, 1}}, {{2, 0x2202, 0x00a7, 1}}, {{3, 0x9999, 0x9999, 9}}};
  StartApp();
  QStringList offered;
  OnNextModal([&](QDialog* dialog) {
    auto* combo = dialog->findChild<QComboBox*>(ControlName(kFlashLibCombo));
    for (int i = 0; i < combo->count(); ++i) offered << combo->itemText(i);
    combo->setCurrentIndex(0);  // "BOOT FLASH": the second library
    dialog->findChild<QPushButton*>(ControlName(kIdOk))->click();
  });
  Connect("Group/ModA");
  // The third library has no description file and is not offered.
  EXPECT_EQ(offered, (QStringList{"BOOT FLASH", "EXTERNAL FLASH"}));
  EXPECT_TRUE(Page()->Connected());
  EXPECT_EQ(Calls("DmSelectFlashLib"), std::vector<std::string>{"DmSelectFlashLib 2 1"});
}

TEST_F(ConnectPageTest, CancellingTheLibraryChoiceClosesTheConnectionSilently) {
  Fake().libraries[0] = {{{1, 0x2101, 0x00a7, 1}}, {{2, 0x2202, 0x00a7, 1}}};
  StartApp();
  OnNextModal([](QDialog* dialog) { dialog->findChild<QPushButton*>(ControlName(kIdCancel))->click(); });
  Connect("Group/ModA");
  EXPECT_FALSE(Page()->Connected());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(Calls().back(), "DmExitZelkor 0 0");
  EXPECT_TRUE(Calls("DmSelectFlashLib").empty());
  EXPECT_EQ(Status(), "Ready");
  // The firmware of the abandoned login is no longer shown.
  QString firmware;
  OnNextModal([&](QDialog* dialog) {
    firmware = dialog->findChild<QLineEdit*>(ControlName(kFirmwareText))->text();
    dialog->accept();
  });
  app_->Sheet()->RunCommand(kCmdToolInfo);
  EXPECT_EQ(firmware, QString::fromUtf8("no connection to µC"));
}

struct ConnectFailure {
  const char* name;
  std::function<void(FakeDmState&)> script;
  const char* message;  // caption "Connect"
  bool exitCalled;
};

class ConnectFailureTest : public ConnectPageTest, public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFailureTest, EndsDisconnectedWithTheMessageAndTheExit) {
  GetParam().script(Fake());
  StartApp();
  Connect("Group/ModA");
  EXPECT_FALSE(Page()->Connected());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{std::string("Connect: ") + GetParam().message});
  EXPECT_EQ(!Calls("DmExitZelkor 0 0").empty(), GetParam().exitCalled);
  if (GetParam().exitCalled) {
    EXPECT_EQ(Calls().back(), "DmExitZelkor 0 0");
  }
  EXPECT_EQ(Status(), "Ready");
  EXPECT_EQ(Page()->ConnectButton()->text(), "Connect");
  EXPECT_TRUE(Page()->Tree()->isEnabled());
  EXPECT_EQ(app_->Sheet()->StatusBar()->Progress(), nullptr);
  EXPECT_FALSE(app_->FlashInfoPage()->Connected());
  EXPECT_TRUE(app_->Sheet()->ToolButtonEnabled(kCmdToolConnect));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ConnectFailureTest,
    ::testing::Values(
        ConnectFailure{"LoginRefused", [](FakeDmState& f) { f.loginResult = 0xE4; },
                       "Unable to open the specified COM port", true},
        ConnectFailure{"LoginWorkerFails", [](FakeDmState& f) { f.loginStatus = 0x10; }, "No answer from target", true},
        ConnectFailure{"OldFirmware", [](FakeDmState& f) { f.checkOld = 239; },
                       "Old Zelkor version found. Please update your module.", true},
        ConnectFailure{"SearchFails", [](FakeDmState& f) { f.findResult = 5; }, "Couldn´t find flash library.", true},
        ConnectFailure{"NoLibrary", [](FakeDmState& f) { f.libraries.clear(); }, "Couldn´t find flash library.", true},
        ConnectFailure{"SelectFails", [](FakeDmState& f) { f.selectResult = 0x81; }, "Couldn´t find flash library.",
                       true}),
    [](const ::testing::TestParamInfo<ConnectFailure>& info) { return std::string(info.param.name); });

TEST_F(ConnectPageTest, AMissingDataManagerLibraryIsReportedAndNothingCalled) {
  AddModule("Other", "[General]\nDmDLL=NoSuchDm\n");
  StartApp();
  Connect("Other");
  EXPECT_FALSE(Page()->Connected());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Connect: Data modul dll not loaded."});
  EXPECT_TRUE(Calls().empty());
}

TEST_F(ConnectPageTest, ASecondBankThatFailsLeavesNoPageConnected) {
  AddModule("Two", StandardModule());
  SetKeys("Two", "FlashConfig", {{"FlashBanks", "2"}, {"FlashStart1", "0x040000"}});
  StartApp();
  Connect("Two");
  EXPECT_FALSE(Page()->Connected());
  EXPECT_FALSE(app_->FlashInfoPage()->Connected());
  EXPECT_EQ(Calls().back(), "DmExitZelkor 0 0");
}

}  // namespace
}  // namespace zk::gui::test
