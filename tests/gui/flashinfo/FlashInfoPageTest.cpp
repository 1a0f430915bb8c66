// The flash info page after a connect to the scripted data manager: bank
// list, sector table with its protection and status texts, the erase and
// status operations, and the protected-areas switch.
#include "gui/connect/ConnectPage.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/flashinfo/FlashMap.h"
#include "gui/shell/StatusPane.h"
#include "gui/treelist/TreeListCtrl.h"
#include "tests/gui/GuiFixture.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace zk::gui::test {
namespace {

enum Column { kNumber, kRange, kProtection, kStatus };

class FlashInfoPageTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    // Bank 0: sectors of 16 KB at 0..0xFFFF, of 64 KB at 0x10000..0x3FFFF.
    // Sector 1 is half protected, sector 2 wholly; sector 6 is no access.
    AddModule("Mod", StandardModule());
    SetKeys("Mod", "General", {{"NumberOfProtectedAreas", "1"}, {"NumberOfNonAccessAreas", "1"}});
    Fake().protectedAreas = {{0x6000, 0xBFFF}};
    Fake().noAccessAreas = {{0x30000, 0x3FFFF}};
  }
  void ConnectMod() {
    StartApp();
    Connect("Mod");
    ASSERT_TRUE(app_->ConnectPage()->Connected()) << ::testing::PrintToString(BoxTexts());
    ClearCalls();
  }
  CFlashInfoPage* Page() const { return app_->FlashInfoPage(); }
  CTreeListCtrl* Table() const { return Page()->Table(); }
  QTreeWidgetItem* Group(int n) const { return Table()->topLevelItem(n); }
  QTreeWidgetItem* Sector(int group, int k) const {
    Group(group)->setExpanded(true);
    return Group(group)->child(k);
  }
  void Click(int id) const { FindIn<QPushButton>(Page(), id)->click(); }
  static std::string Cell(const QTreeWidgetItem* row, Column column) { return row->text(column).toStdString(); }
};

TEST_F(FlashInfoPageTest, GroupRowsExpandIntoSectorRowsWithTheirProtection) {
  ConnectMod();
  ASSERT_EQ(Table()->topLevelItemCount(), 2);
  EXPECT_EQ(Cell(Group(0), kNumber), "Sector 0 - 3");
  EXPECT_EQ(Cell(Group(0), kRange), "0x00000000 - 0x0000FFFF");
  EXPECT_EQ(Cell(Group(0), kProtection), "partial access");
  EXPECT_EQ(Cell(Group(0), kStatus), "unknown");
  EXPECT_EQ(Cell(Group(1), kNumber), "Sector 4 - 6");
  EXPECT_EQ(Cell(Group(1), kProtection), "partial access");
  EXPECT_TRUE(CTreeListCtrl::HasPlaceholder(Group(0)));
  EXPECT_EQ(Group(0)->childCount(), 1);

  EXPECT_EQ(Cell(Sector(0, 0), kProtection), "full access");
  ASSERT_EQ(Group(0)->childCount(), 4);
  EXPECT_EQ(Cell(Sector(0, 1), kNumber), "Sector 1");
  EXPECT_EQ(Cell(Sector(0, 1), kRange), "0x00004000 - 0x00007FFF");
  EXPECT_EQ(Cell(Sector(0, 1), kProtection), "partial access");
  EXPECT_EQ(Cell(Sector(0, 2), kProtection), "software protected");
  EXPECT_EQ(Cell(Sector(1, 2), kNumber), "Sector 6");
  EXPECT_EQ(Cell(Sector(1, 2), kProtection), "no access");
  EXPECT_GE(Table()->columnWidth(kRange), 180);
  EXPECT_EQ(Table()->selectionMode(), QAbstractItemView::ExtendedSelection);
  // A module with protected areas offers no Erase Bank.
  EXPECT_FALSE(FindIn<QPushButton>(Page(), kEraseBankButton)->isVisibleTo(Page()));
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, TheMapSizesCellsByLengthColoursThemByStateAndFollowsTheTable) {
  ConnectMod();
  CFlashMap* map = Page()->Map();
  const std::vector<CFlashMap::Cell>& cells = map->Cells();
  ASSERT_EQ(cells.size(), 7u);
  // A sector of 64 KB is four of 16 KB wide, give or take the rounding.
  EXPECT_NEAR(cells[4].rect.width(), 4 * cells[0].rect.width(), 4);
  EXPECT_EQ(map->StateOfCell(0), SectorState::kUnknown);
  EXPECT_EQ(map->StateOfCell(2), SectorState::kSoftwareProtected);
  EXPECT_EQ(map->StateOfCell(6), SectorState::kNoAccess);
  EXPECT_EQ(map->ToolTipOf(1), "Sector 1 (bank 0)\n0x00004000 - 0x00007FFF\nunknown, partial access");

  Group(0)->setSelected(true);
  ASSERT_TRUE(WaitUntil([&] { return cells[3].selected; }));
  EXPECT_TRUE(cells[0].selected && !cells[4].selected);
  QTest::mouseClick(map, Qt::LeftButton, Qt::ControlModifier, cells[5].rect.center());
  EXPECT_EQ(Table()->SelectedRows(), (std::vector<QTreeWidgetItem*>{Group(0), Group(1)->child(1)}));
  QTest::mouseClick(map, Qt::LeftButton, {}, cells[4].rect.center());
  EXPECT_EQ(Table()->SelectedRows(), std::vector<QTreeWidgetItem*>{Group(1)->child(0)});
  ASSERT_TRUE(WaitUntil([&] { return !cells[0].selected; }));
}

TEST_F(FlashInfoPageTest, ABankWithMoreSectorsThanFitGoesOnOverFurtherLinesOfTheMap) {
  Fake().defaultBlocks = {{0, 0x1000, 1024}};
  ConnectMod();
  const std::vector<CFlashMap::Cell>& cells = Page()->Map()->Cells();
  ASSERT_EQ(cells.size(), 1024u);
  EXPECT_GT(cells.back().rect.top(), cells.front().rect.top());
  for (const CFlashMap::Cell& cell : cells) {
    EXPECT_GE(cell.rect.width(), CFlashMap::kMinCellWidth);
    EXPECT_LE(cell.rect.right(), Page()->Map()->width());
  }
}

TEST_F(FlashInfoPageTest, StatusOfAllSectorsAsksEveryGroupInOneRunAndItsButtonStopsIt) {
  ConnectMod();
  Fake().sectorStatus = {{0x0, 34}, {0x4000, 34}, {0x10000, 34}};
  QPushButton* all = Page()->StatusAllButton();
  all->click();
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"DmGetSectorStatus 0 65535 16384", "DmGetSectorStatus 65536 262143 65536"}));
  EXPECT_EQ(Page()->Map()->StateOfCell(0), SectorState::kBlank);
  EXPECT_EQ(Page()->Map()->StateOfCell(3), SectorState::kUsed);
  EXPECT_EQ(Page()->Map()->StateOfCell(4), SectorState::kBlank);
  EXPECT_EQ(Cell(Group(1), kStatus), "not blank");
  EXPECT_EQ(app_->Sheet()->StatusBar()->Text(), "Ready");

  ClearCalls();
  Fake().polls = -1;
  QString during;
  Fake().onPoll = [&] {
    during = all->text();
    QTest::mouseClick(all, Qt::LeftButton);
  };
  all->click();
  EXPECT_EQ(during, "Cancel");
  EXPECT_EQ(Calls(), (std::vector<std::string>{"DmGetSectorStatus 0 65535 16384", "DmStopCurrentThread"}));
  EXPECT_EQ(all->text(), "Status of all sectors");
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(BoxTexts());
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, WithoutAreasInTheModuleEverySectorHasFullAccess) {
  SetKeys("Mod", "General", {{"NumberOfProtectedAreas", "0"}, {"NumberOfNonAccessAreas", "0"}});
  ConnectMod();
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Cell(Sector(0, k), kProtection), "full access");
  EXPECT_EQ(Cell(Group(1), kProtection), "full access");
  EXPECT_TRUE(FindIn<QPushButton>(Page(), kEraseBankButton)->isVisibleTo(Page()));
}

TEST_F(FlashInfoPageTest, MoreAreasNamedThanTheDataManagerHandsOutReadsOnlyThoseItHas) {
  SetKeys("Mod", "General", {{"NumberOfProtectedAreas", "40"}});
  ConnectMod();
  EXPECT_EQ(Cell(Sector(0, 2), kProtection), "software protected");
  EXPECT_EQ(Cell(Sector(0, 3), kProtection), "full access");
}

TEST_F(FlashInfoPageTest, AGroupWhollyProtectedShowsSoftwareProtected) {
  Fake().defaultBlocks = {{0, 0x4000, 4}, {0x8000, 0x2000, 2}};
  ConnectMod();
  EXPECT_EQ(Cell(Group(1), kProtection), "software protected");
}

TEST_F(FlashInfoPageTest, ASectorCount0xFFFFEndsTheGroups) {
  Fake().defaultBlocks = {{0, 0x4000, 4}, {0x10000, 0x10000, 0xFFFF}, {0x40000, 0x10000, 2}};
  ConnectMod();
  EXPECT_EQ(Table()->topLevelItemCount(), 1);
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, WithoutFlashSizeTheTableStaysEmpty) {
  WriteFile(install_ + "/FlashInfo/00a7x2101x0001.ini", "[General]\nMode=EXTERNAL FLASH\nName=X\n");
  StartApp();
  Connect("Mod");
  EXPECT_EQ(Table()->topLevelItemCount(), 0);
  EXPECT_EQ(BoxTexts().back(), "FlashInfo: Invalid Flash.ini file. Entry: FlashSize");
}

TEST_F(FlashInfoPageTest, ErasingAGroupRowMarksTheGroupAndItsSectorsBlank) {
  ConnectMod();
  Sector(0, 0);
  Group(0)->setSelected(true);
  Click(kEraseSectorsButton);
  EXPECT_EQ(Calls(), std::vector<std::string>{"DmEraseSectors 0 0xffff 16384"});
  EXPECT_EQ(Cell(Group(0), kStatus), "blank");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Cell(Sector(0, k), kStatus), "blank");
  EXPECT_EQ(Cell(Group(1), kStatus), "unknown");
  EXPECT_FALSE(Group(0)->isSelected());
  EXPECT_EQ(app_->Sheet()->StatusBar()->Text(), "Ready");
}

TEST_F(FlashInfoPageTest, AFailedSectorEraseWritesTheListsStatusesAndStops) {
  ConnectMod();
  Fake().eraseStatus = 0x21;
  Fake().eraseEntries = {{0x4000, 35}, {0x4000, 33}};
  Sector(0, 1)->setSelected(true);
  Sector(0, 3)->setSelected(true);
  Click(kEraseSectorsButton);
  EXPECT_EQ(Calls(), std::vector<std::string>{"DmEraseSectors 0x4000 0x7fff 16384"});
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"EraseSector: The specified area is not blank."});
  EXPECT_EQ(Cell(Sector(0, 1), kStatus), "not blank");
  EXPECT_TRUE(Sector(0, 3)->isSelected());
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, ARefusedEraseIsReportedWithItsCaption) {
  ConnectMod();
  Fake().eraseResult = 0x31;
  Group(1)->setSelected(true);
  Click(kEraseSectorsButton);
  EXPECT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Erase Sector");
  EXPECT_EQ(app_->Sheet()->StatusBar()->Text(), "Ready");
}

TEST_F(FlashInfoPageTest, StatusOfSelectedRowsInTheirOrder) {
  ConnectMod();
  Fake().sectorStatus = {{0x0, 34}, {0x4000, 34}};
  Sector(1, 0)->setSelected(true);
  Group(0)->setSelected(true);
  Click(kStatusButton);
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"DmGetSectorStatus 0 65535 16384", "DmGetSectorStatus 65536 131071 65536"}));
  EXPECT_EQ(Cell(Group(0), kStatus), "not blank");
  EXPECT_EQ(Cell(Sector(0, 0), kStatus), "blank");
  EXPECT_EQ(Cell(Sector(0, 1), kStatus), "blank");
  EXPECT_EQ(Cell(Sector(0, 2), kStatus), "not blank");
  EXPECT_EQ(Cell(Sector(1, 0), kStatus), "not blank");
  EXPECT_EQ(Cell(Group(1), kStatus), "unknown");
  EXPECT_TRUE(Table()->SelectedRows().empty());
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, AFailedStatusIsReportedAndTheRowKeepsItsStatus) {
  ConnectMod();
  Fake().statusFinal = 0x10;
  Group(0)->setSelected(true);
  Click(kStatusButton);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"SectorStatus: No answer from target"});
  EXPECT_EQ(Cell(Group(0), kStatus), "unknown");
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, EraseAllErasesEveryBankAndMarksItsGroups) {
  SetKeys("Mod", "FlashConfig",
          {{"FlashBanks", "2"}, {"FlashStart1", "0x040000"}, {"FlashEnd1", "0x0BFFFF"}, {"FlashMode1", "2"}});
  Fake().libraries[0x40000] = Fake().libraries[0];
  Fake().blocks[0x40000] = {{0x40000, 0x10000, 8}};
  ConnectMod();
  ASSERT_EQ(Table()->topLevelItemCount(), 3);
  Click(kEraseAllButton);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"DmSetFlashBaseAddress 0 1", "DmEraseChip",
                                               "DmSetFlashBaseAddress 262144 2", "DmEraseChip"}));
  for (int n = 0; n < 3; ++n) EXPECT_EQ(Cell(Group(n), kStatus), "blank");
}

TEST_F(FlashInfoPageTest, AFailedChipEraseNamesEveryFailedSector) {
  ConnectMod();
  Fake().eraseChipResult = 0x21;
  Fake().eraseChipEntries = {{5, 0x21}, {6, 0x33}};
  EXPECT_EQ(Page()->EraseAll(), 0x21u);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Erase Chip: The specified area is not blank.",
                                                  "Erase Chip: Fehler bei Sector: 5, ErrorCode: 21",
                                                  "Erase Chip: Fehler bei Sector: 6, ErrorCode: 33"}));
  EXPECT_EQ(Cell(Group(0), kStatus), "unknown");
  EXPECT_TRUE(Fake().handouts.empty());
}

TEST_F(FlashInfoPageTest, TheProtectedAreasSwitchReclassifiesEveryRow) {
  ConnectMod();
  Sector(0, 2);
  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(Cell(Sector(0, 2), kProtection), "full access");
  EXPECT_EQ(Cell(Sector(0, 1), kProtection), "partial access");
  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(Cell(Sector(0, 2), kProtection), "software protected");
}

TEST_F(FlashInfoPageTest, WithoutABusModeNoGroupsAreAdded) {
  AddModule("NoMode", "[General]\nDmDLL=KORDm\n[FlashConfig]\nFlashStart=0\n");
  StartApp();
  Connect("NoMode");
  EXPECT_TRUE(app_->ConnectPage()->Connected());
  EXPECT_EQ(Table()->topLevelItemCount(), 0);
  EXPECT_TRUE(Fake().handouts.empty());
}

}  // namespace
}  // namespace zk::gui::test
