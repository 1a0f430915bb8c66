// The workbench with the real data manager, command layer and link driver
// against the module simulator.
#include "gui/connect/ConnectPage.h"
#include "gui/connect/DisconnectChoices.h"
#include "gui/connect/ModuleTree.h"
#include "gui/dialogs/PwdDlg.h"
#include "gui/download/DownloadPage.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/flashinfo/FlashMap.h"
#include "gui/shell/Globals.h"
#include "gui/shell/ScreenTour.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/treelist/TreeListCtrl.h"
#include "gui/upload/SavePage.h"
#include "platform/Ini.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/gui/GuiFixture.h"
#include "tests/gui/TempInstallation.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>
#include <set>
#include <vector>

namespace zk::gui::test {
namespace {

constexpr char kModule[] = "Simulator/ZkSim-Handshake";

// Intel HEX of data at address: an extended linear address record, data
// records of 16 bytes, the end record.
std::string IntelHex(const std::vector<uint8_t>& data, uint32_t address) {
  std::string text;
  const auto record = [&text](uint8_t type, uint16_t offset, const uint8_t* bytes, std::size_t count) {
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", static_cast<unsigned>(count), offset, type);
    text += head;
    unsigned sum = count + (offset >> 8) + (offset & 0xFF) + type;
    for (std::size_t i = 0; i < count; ++i) {
      char byte[4];
      std::snprintf(byte, sizeof byte, "%02X", bytes[i]);
      text += byte;
      sum += bytes[i];
    }
    char check[8];
    std::snprintf(check, sizeof check, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += check;
  };
  const uint8_t upper[2] = {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16)};
  record(4, 0, upper, 2);
  for (std::size_t at = 0; at < data.size(); at += 16) {
    record(0, static_cast<uint16_t>((address & 0xFFFF) + at), &data[at], std::min<std::size_t>(16, data.size() - at));
  }
  record(1, 0, nullptr, 0);
  return text;
}

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
  // Chooses path in the next file dialog, then runs command.
  void ChooseFile(const std::string& path, CommandId command) {
    OnNextDialog<QFileDialog>(app_->Sheet(), [path](QFileDialog* dialog) {
      dialog->selectFile(Qs(path));
      static_cast<QDialog*>(dialog)->accept();
    });
    app_->Sheet()->RunCommand(command);
  }
  // The module's password, which adds the upload page; the page shown.
  CSave* GrantReadAccess() {
    OnNextDialog<CPwdDlg>(app_->Sheet(), [](CPwdDlg* dialog) {
      dialog->Edit()->setText("zelkor");
      dialog->accept();
    });
    app_->Sheet()->RunCommand(kCmdPassword);
    EXPECT_TRUE(app_->UploadPageInserted()) << ::testing::PrintToString(Boxes());
    EXPECT_TRUE(app_->Sheet()->SetActivePage(app_->UploadPage()));
    return app_->UploadPage();
  }
  void Upload(CSave* upload, const char* start, const char* end) {
    upload->StartEdit()->setText(start);
    upload->EndEdit()->setText(end);
    upload->UploadButton()->click();
  }
  void SaveAs(CSave* upload, const std::string& path) {
    OnNextDialog<QFileDialog>(app_->Sheet(), [path](QFileDialog* dialog) {
      dialog->selectFile(Qs(path));
      static_cast<QDialog*>(dialog)->accept();
    });
    upload->SaveButton()->click();
  }

  WorkbenchInstallation install_{ZK_BIN};
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

TEST_F(EndToEndTest, DownloadWithNeededSectorEraseThenUploadAndSaveGivesTheImageBack) {
  Connect();
  std::vector<uint8_t> data(0x1000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  const std::string hex = install_.Dir() + "/image.hex";
  WriteFile(hex, IntelHex(data, 0x20000));

  CDownloadPage* download = app_->DownloadPage();
  download->SetPollPauses({10, 50});
  ChooseFile(hex, kCmdOpen);
  ASSERT_TRUE(download->FileLoaded()) << ::testing::PrintToString(Boxes());
  EXPECT_EQ(download->DownloadSizeText()->text(), "4.000 kBytes");
  if (!download->EraseNeededBox()->isChecked()) download->EraseNeededBox()->click();
  download->StartButton()->click();
  EXPECT_EQ(app_->Sheet()->StatusBar()->Text(), "Download ready");
  ASSERT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
  // The summary: bytes, time, rate, not verified, the file's SHA-256.
  const std::string sha = download->ImageSha256();
  ASSERT_EQ(sha.size(), 64u);
  EXPECT_TRUE(download->ProgressText()->text().startsWith("4096 bytes programmed in "));
  EXPECT_TRUE(download->ProgressText()->text().endsWith(", not verified, image SHA-256 " + Qs(sha)));
  EXPECT_TRUE(app_->Sheet()->StatusBar()->Summary()->isVisible());
  EXPECT_TRUE(app_->Sheet()->StatusBar()->Summary()->text().contains(Qs(sha.substr(0, 16))));
  const QString log = TheLog().Text();
  EXPECT_TRUE(log.contains("program started: 4096 bytes")) << Utf8(log);
  EXPECT_TRUE(log.contains("program: ended, result code 0 (0x0)"));
  EXPECT_TRUE(log.contains("download summary: " + download->ProgressText()->text()));

  CSave* upload = GrantReadAccess();
  Upload(upload, "20000", "20FFF");
  ASSERT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
  EXPECT_EQ(upload->UploadButton()->text(), "Read");

  const std::string saved = install_.Dir() + "/read.bin";
  SaveAs(upload, saved);
  ASSERT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
  EXPECT_EQ(ReadFile(saved), std::string(data.begin(), data.end()));
  EXPECT_EQ(download->FileLoadedText()->text(), Qs(saved));
  EXPECT_EQ(download->BinaryStartAddress(), 0x20000u);
}

TEST_F(EndToEndTest, AReadThatIsRefusedOrFailsLeavesNothingToSaveOrToDownload) {
  Connect();
  const std::string hex = install_.Dir() + "/image.hex";
  WriteFile(hex, IntelHex(std::vector<uint8_t>(0x100, 0x5A), 0x20000));
  CDownloadPage* download = app_->DownloadPage();
  ChooseFile(hex, kCmdOpen);
  ASSERT_TRUE(download->FileLoaded()) << ::testing::PrintToString(Boxes());
  CSave* upload = GrantReadAccess();
  const auto expectNothingLoaded = [&](const char* step) {
    EXPECT_FALSE(download->FileLoaded()) << step;
    EXPECT_TRUE(download->FileLoadedText()->text().isEmpty()) << step;
    EXPECT_TRUE(download->FileSizeText()->text().isEmpty()) << step;
    EXPECT_FALSE(app_->Sheet()->ToolButtonEnabled(kCmdToolDownload)) << step;
  };

  // Refused at once, the range touching the protected parameter sector: the
  // data manager has discarded the image all the same.
  Upload(upload, "BF00", "C0FF");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Erase Sector: The specified address is protected by software."});
  expectNothingLoaded("read refused");

  // The module refuses the read of its no-access area.
  boxes_.shown.clear();
  Upload(upload, "B0000", "B0FFF");
  ASSERT_EQ(boxes_.shown.size(), 1u) << ::testing::PrintToString(Boxes());
  EXPECT_EQ(boxes_.shown[0].caption, "ReadFlash");
  expectNothingLoaded("read failed");

  boxes_.shown.clear();
  const std::string saved = install_.Dir() + "/read.bin";
  SaveAs(upload, saved);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Save File: No data to save. Please upload data first."});
  EXPECT_FALSE(std::filesystem::exists(saved));
  expectNothingLoaded("nothing saved");
}

TEST_F(EndToEndTest, VerifyIsUsableOnceReadAccessIsGrantedAndReportsInTheStatusPane) {
  Connect();
  const std::string hex = install_.Dir() + "/image.hex";
  WriteFile(hex, IntelHex(std::vector<uint8_t>(0x800, 0x5A), 0x20000));
  CDownloadPage* download = app_->DownloadPage();
  download->SetPollPauses({10, 50});
  ChooseFile(hex, kCmdOpen);
  ASSERT_TRUE(download->FileLoaded()) << ::testing::PrintToString(Boxes());
  EXPECT_FALSE(download->VerifyBox()->isEnabled());
  EXPECT_TRUE(download->VerifyBox()->toolTip().contains("password"));

  GrantReadAccess();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(download));
  ASSERT_TRUE(download->VerifyBox()->isEnabled());
  download->VerifyBox()->setChecked(true);
  if (!download->EraseNeededBox()->isChecked()) download->EraseNeededBox()->click();
  download->StartButton()->click();
  EXPECT_EQ(app_->Sheet()->StatusBar()->Text(), "Verify ready: 2048 bytes equal the image");
  EXPECT_TRUE(download->ProgressText()->text().contains(" bytes/s), verified, image SHA-256 ") ||
              download->ProgressText()->text().contains(" kB/s), verified, image SHA-256 "))
      << Utf8(download->ProgressText()->text());
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
}

TEST_F(EndToEndTest, TheScreenTourSavesAPictureOfEveryPage) {
  const std::string hex = install_.Dir() + "/tour.hex";
  WriteFile(hex, IntelHex(std::vector<uint8_t>(0x800, 0x3C), 0x20000));
  setenv(kScreenshotImageVariable, hex.c_str(), 1);
  const std::string shots = install_.Dir() + "/shots";
  std::filesystem::create_directories(shots);
  app_->DownloadPage()->SetPollPauses({10, 50});
  EXPECT_TRUE(RunScreenTour(*app_, shots)) << ::testing::PrintToString(Boxes());
  unsetenv(kScreenshotImageVariable);
  for (const char* name : {"connect.png", "download.png", "flashinfo.png", "protected-areas.png", "connected.png"}) {
    EXPECT_GT(std::filesystem::file_size(shots + "/" + name), 1000u) << name;
  }
  EXPECT_EQ(app_->Sheet()->StatusBar()->Text(), "Ready");
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());
}

class EndToEndMapTest : public EndToEndTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndToEndMapTest, TheMapHasACellForEverySectorRowFollowsTheTableAndTakesTheStatusOfAll) {
  ASSERT_NE(Page()->Tree()->SelectPath(GetParam()), nullptr);
  Connect();
  CFlashInfoPage* info = app_->FlashInfoPage();
  CFlashMap* map = app_->Sheet()->findChild<CFlashMap*>("flashMap");
  ASSERT_EQ(map, info->Map());
  std::vector<QTreeWidgetItem*> rows;
  for (int g = 0; g < Table()->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = Table()->topLevelItem(g);
    group->setExpanded(true);
    if (group->childCount() == 0) rows.push_back(group);
    for (int k = 0; k < group->childCount(); ++k) rows.push_back(group->child(k));
  }
  const std::vector<CFlashMap::Cell>& cells = map->Cells();
  ASSERT_EQ(cells.size(), rows.size());
  std::set<int> banks;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const QStringList tip = map->ToolTipOf(i).split('\n');
    ASSERT_GE(tip.size(), 3);
    EXPECT_EQ(tip[0].section(" (", 0, 0), rows[i]->text(0));
    EXPECT_EQ(tip[1], rows[i]->text(1));
    EXPECT_GE(cells[i].rect.width(), CFlashMap::kMinCellWidth);
    if (i > 0 && cells[i].rect.top() == cells[i - 1].rect.top()) {
      EXPECT_GE(cells[i].rect.left(), cells[i - 1].rect.right());
    }
    banks.insert(info->Groups().Groups()[cells[i].ref.group].bank);
  }
  EXPECT_EQ(banks, (std::set<int>{0, 1}));

  // A click selects the sector's row; the table's selection shows on the map.
  const std::size_t pick = cells.size() - 2;
  QTest::mouseClick(map, Qt::LeftButton, {}, cells[pick].rect.center());
  EXPECT_EQ(Table()->SelectedRows(), std::vector<QTreeWidgetItem*>{rows[pick]});
  ASSERT_TRUE(WaitUntil([&] { return cells[pick].selected; }));
  EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [](const CFlashMap::Cell& c) { return c.selected; }), 1);

  // Every cell takes a state in one run, with a progress bar meanwhile.
  bool progressShown = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout,
                   [&] { progressShown |= app_->Sheet()->StatusBar()->Progress() != nullptr; });
  watch.start(1);
  info->StatusAllButton()->click();
  watch.stop();
  EXPECT_TRUE(progressShown);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    EXPECT_NE(map->StateOfCell(i), SectorState::kUnknown) << Utf8(map->ToolTipOf(i));
  }
  EXPECT_EQ(info->StatusAllButton()->text(), "Status of all sectors");
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(Boxes());

  // The loaded image's sectors are outlined, and only they.
  const std::string hex = install_.Dir() + "/image.hex";
  WriteFile(hex, IntelHex(std::vector<uint8_t>(0x4000, 0xA5), 0x6000));
  ChooseFile(hex, kCmdOpen);
  ASSERT_TRUE(app_->Sheet()->SetActivePage(info));
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const SectorRecord& sector = info->Groups().Groups()[cells[i].ref.group].sectors[cells[i].ref.sector];
    EXPECT_EQ(cells[i].needed, sector.end >= 0x6000 && sector.start <= 0x9FFF) << Utf8(map->ToolTipOf(i));
  }
}

INSTANTIATE_TEST_SUITE_P(DemoModules, EndToEndMapTest,
                         ::testing::Values("Simulator/ZkSim-Handshake", "Simulator/ZkSim-Download"));

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
