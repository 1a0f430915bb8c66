// The workbench with the real data manager, command layer and link driver
// against the module simulator.
#include "gui/ConnectPage.h"
#include "gui/DisconnectChoices.h"
#include "gui/FlashInfoPage.h"
#include "gui/ModuleTree.h"
#include "gui/TreeListCtrl.h"
#include "platform/Ini.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/gui/GuiFixture.h"
#include "tests/gui/TempInstallation.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>

namespace zk::gui::test {
namespace {

constexpr char kModule[] = "Simulator/ZkSim-Handshake";

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(install_.Ready());
    ASSERT_TRUE(sim_.Running());
    SetMessageBoxHandler(&boxes_, false);
    app_ = std::make_unique<CZelkorGuiApp>();
    ASSERT_TRUE(app_->InitInstance());
    app_->Sheet()->show();
    ASSERT_NE(Page()->Tree()->SelectPath(kModule), nullptr);
  }
  void TearDown() override {
    app_.reset();
    SetMessageBoxHandler(nullptr, false);
  }
  void Connect() {
    Page()->ConnectButton()->click();
    ASSERT_TRUE(Page()->Connected()) << ::testing::PrintToString(Boxes());
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes_.shown) texts.push_back(box.caption + ": " + box.text);
    return texts;
  }
  CConnectPage* Page() const { return app_->ConnectPage(); }
  CTreeListCtrl* Table() const { return app_->FlashInfoPage()->Table(); }
  QPushButton* Button(int id) const { return app_->Sheet()->findChild<QPushButton*>(ControlName(id)); }

  TempInstallation install_{ZK_BIN};
  e2e::ModSimProcess sim_;
  RecordingBoxes boxes_;
  std::unique_ptr<CZelkorGuiApp> app_;
};

TEST_F(EndToEndTest, ConnectShowsBothBanksAndTheirSectors) {
  Connect();
  QTreeWidget* banks = app_->FlashInfoPage()->BankList();
  ASSERT_EQ(banks->topLevelItemCount(), 2);
  EXPECT_EQ(banks->topLevelItem(0)->text(0).left(7), "Bank 0:");
  EXPECT_EQ(banks->topLevelItem(1)->text(4), "0x040000");
  ASSERT_GE(Table()->topLevelItemCount(), 3);
  EXPECT_EQ(Table()->topLevelItem(0)->text(0), "Sector 0 - 3");
  EXPECT_EQ(Table()->topLevelItem(0)->text(2), "partial access");  // the parameter sector
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
}

TEST_F(EndToEndTest, StatusOfAGroupAndEraseOfASector) {
  Connect();
  QTreeWidgetItem* group = Table()->topLevelItem(1);
  group->setSelected(true);
  Button(kStatusButton)->click();
  EXPECT_EQ(group->text(3), "blank");
  group->setExpanded(true);
  QTreeWidgetItem* sector = group->child(0);
  ASSERT_NE(sector, nullptr);
  sector->setSelected(true);
  Button(kEraseSectorsButton)->click();
  EXPECT_EQ(sector->text(3), "blank");
  EXPECT_FALSE(sector->isSelected());
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
}

class EndToEndDisconnectTest : public EndToEndTest, public ::testing::WithParamInterface<int> {};

TEST_P(EndToEndDisconnectTest, EachModeEndsTheConnectionAndTheModuleTakesTheNext) {
  Connect();
  CDisconnectChoices* choices = Page()->Choices();
  switch (GetParam()) {
    case 1: choices->JumpToAddress()->click(); break;
    case 2: choices->SoftwareReset()->click(); break;
    case 3: choices->HardwareReset()->click(); break;
    default: break;
  }
  Page()->ConnectButton()->click();
  EXPECT_FALSE(Page()->Connected());
  EXPECT_EQ(ini::GetInt(install_.ModulIni(kModule), "RS232", "Disconnect", -1), GetParam());
  Connect();
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
}

INSTANTIATE_TEST_SUITE_P(Modes, EndToEndDisconnectTest, ::testing::Values(0, 1, 2, 3));

}  // namespace
}  // namespace zk::gui::test
