// The password dialog, the upload page and the protected areas page against
// the scripted data manager.
#include "gui/connect/ConnectPage.h"
#include "gui/dialogs/PwdDlg.h"
#include "gui/download/DownloadPage.h"
#include "gui/flashinfo/ProtectedAreaInfo.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/upload/SavePage.h"
#include "tests/gui/GuiFixture.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace zk::gui::test {
namespace {

class UploadPageTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    AddModule("Mod", StandardModule());
    SetLastModul("Mod");
    StartApp();
    app_->DownloadPage()->SetPollPauses({1, 1});
  }
  void ConnectModule() {
    Connect("Mod");
    ASSERT_TRUE(app_->ConnectPage()->Connected()) << ::testing::PrintToString(BoxTexts());
    ClearCalls();
  }
  // Ctrl+Alt+Shift+U with text typed into the password dialog (nullptr:
  // the dialog is cancelled).
  void EnterPassword(const char* text) {
    OnNextDialog<CPwdDlg>([text](CPwdDlg* dialog) {
      EXPECT_EQ(dialog->Edit()->echoMode(), QLineEdit::Password);
      if (text == nullptr) {
        dialog->reject();
        return;
      }
      dialog->Edit()->setText(text);
      dialog->accept();
    });
    // The accelerator works in the active window only.
    QApplication::setActiveWindow(app_->Sheet());
    QTest::keyClick(app_->Sheet(), Qt::Key_U, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  }
  QStringList Tabs() const {
    auto* tabs = Find<QTabWidget>(kSheetTabs);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) titles << tabs->tabText(i);
    return titles;
  }
  CSave* Upload() const { return app_->UploadPage(); }
  void UploadRange(const char* start, const char* end) {
    Upload()->StartEdit()->setText(start);
    Upload()->EndEdit()->setText(end);
    Upload()->UploadButton()->click();
  }
  void SaveAs(const std::string& path) {
    OnNextDialog<QFileDialog>([path](QFileDialog* dialog) {
      dialog->selectFile(Qs(path));
      static_cast<QDialog*>(dialog)->accept();
    });
    Upload()->SaveButton()->click();
  }
  QString Status() const { return app_->Sheet()->StatusBar()->Text(); }
};

TEST_F(UploadPageTest, TheModuleDecidesOnThePasswordAndTheUploadPageComesAndGoesWithIt) {
  // Not connected: no dialog, nothing sent.
  QTest::keyClick(app_->Sheet(), Qt::Key_U, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_TRUE(Calls().empty()) << ::testing::PrintToString(Calls());
  ConnectModule();
  EnterPassword(nullptr);
  EXPECT_TRUE(Calls().empty());
  EnterPassword("secret");
  EXPECT_EQ(Calls(), std::vector<std::string>{"DmSendPassword secret"});
  EXPECT_EQ(Tabs().back(), "Upload");
  EXPECT_TRUE(app_->UploadPageInserted());
  EnterPassword("secret");
  EXPECT_EQ(Tabs().count("Upload"), 1);

  // Rejected while the upload page is shown: the download page takes over.
  ASSERT_TRUE(app_->Sheet()->SetActivePage(Upload()));
  Fake().passwordResult = 0x90;
  EnterPassword("wrong");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Password");
  EXPECT_EQ(app_->Sheet()->GetActivePage(), app_->DownloadPage());
  EXPECT_FALSE(Tabs().contains("Upload"));
  EXPECT_FALSE(app_->UploadPageInserted());
}

TEST_F(UploadPageTest, UploadOf0ToFFFFReadsTheWholeBankAndTheImageIsNoLongerTheFile) {
  ConnectModule();
  EnterPassword("secret");
  ClearCalls();
  UploadRange("0", "FFFF");
  EXPECT_EQ(Calls(), std::vector<std::string>{"DmReadFlash 0 65536"});
  EXPECT_EQ(Upload()->UploadButton()->text(), "Read");
  EXPECT_EQ(Upload()->UploadStart(), 0u);
  CDownloadPage* download = app_->DownloadPage();
  EXPECT_EQ(download->FileLoadedText()->text(), "???");
  EXPECT_EQ(download->FileSizeText()->text(), "???");
  EXPECT_EQ(download->FileDateText()->text(), "???");
  EXPECT_EQ(download->FileType(), ImageFileType::kBinary);
  EXPECT_TRUE(app_->DataManager().RememberedFile().empty());
  EXPECT_EQ(Status(), "Ready");
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(BoxTexts());

  UploadRange("0x8000", "0x80FF");
  EXPECT_EQ(Calls("DmReadFlash").back(), "DmReadFlash 32768 256");
  EXPECT_EQ(download->BinaryStartAddress(), 0x8000u);
}

TEST_F(UploadPageTest, ABackwardsRangeIsRefusedAndAFailedReadIsReported) {
  ConnectModule();
  EnterPassword("secret");
  ClearCalls();
  UploadRange("2000", "1FFF");
  EXPECT_TRUE(Calls("DmReadFlash").empty());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Upload");

  boxes_.shown.clear();
  Fake().readResult = 0x45;
  UploadRange("0", "FF");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Erase Sector");
  EXPECT_EQ(Status(), "Ready");

  boxes_.shown.clear();
  Fake().readResult = 0;
  Fake().readStatus = 0x45;
  UploadRange("0", "FF");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "ReadFlash");
  EXPECT_TRUE(app_->DownloadPage()->FileLoadedText()->text().isEmpty());
  EXPECT_FALSE(app_->DownloadPage()->FileLoaded());
}

TEST_F(UploadPageTest, CancelStopsTheReadAndLeavesNoImage) {
  ConnectModule();
  EnterPassword("secret");
  ASSERT_TRUE(app_->Sheet()->SetActivePage(Upload()));
  ClearCalls();
  Fake().polls = 1000;
  Fake().stopResults = {1, 0};
  int polls = 0;
  Fake().onPoll = [&] {
    if (++polls == 2) QTest::mouseClick(Upload()->UploadButton(), Qt::LeftButton);
  };
  UploadRange("100", "1FF");
  EXPECT_EQ(Calls("DmStopCurrentThread").size(), 2u);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text.rfind("ErrorCode: ", 0), 0u);
  EXPECT_EQ(Upload()->UploadButton()->text(), "Start");
  EXPECT_TRUE(app_->DownloadPage()->FileLoadedText()->text().isEmpty());
  EXPECT_EQ(Status(), "Ready");
}

TEST_F(UploadPageTest, SavingPicksHexOnlyForLowerCaseExtensionsAndHandsTheFileToTheDownloadPage) {
  ConnectModule();
  EnterPassword("secret");
  UploadRange("8000", "BFFF");
  ClearCalls();
  const std::string upper = dir_.Path() + "/data.HEX";
  SaveAs(upper);
  EXPECT_EQ(Calls("DmSaveFile"), std::vector<std::string>{"DmSaveFile " + upper + " 1"});
  CDownloadPage* download = app_->DownloadPage();
  EXPECT_EQ(download->FileLoadedText()->text(), Qs(upper));
  EXPECT_EQ(download->FileType(), ImageFileType::kBinary);
  EXPECT_EQ(download->BinaryStartAddress(), 0x8000u);
  EXPECT_TRUE(download->FileLoaded());
  EXPECT_EQ(download->FileSizeText()->text(), "0.005 kBytes");  // "image"
  EXPECT_EQ(download->Watcher().Path(), upper);
  EXPECT_TRUE(download->Watcher().Running());
  EXPECT_EQ(Upload()->SaveButton()->text(), "Save");
  EXPECT_EQ(Status(), "Ready");

  const std::string lower = dir_.Path() + "/data.hex";
  ClearCalls();
  SaveAs(lower);
  EXPECT_EQ(Calls("DmSaveFile"), std::vector<std::string>{"DmSaveFile " + lower + " 0"});
  // Read back after a change, the file is read as the hex file it is.
  EXPECT_EQ(app_->DataManager().RememberedFile(), lower);
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(BoxTexts());
}

TEST_F(UploadPageTest, NothingToSaveShowsString196AndHandsNothingOver) {
  ConnectModule();
  EnterPassword("secret");
  Fake().saveStatus = 224;
  const std::string path = dir_.Path() + "/empty.bin";
  SaveAs(path);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "No data to save. Please upload data first.");
  EXPECT_FALSE(app_->DownloadPage()->FileLoaded());
  EXPECT_NE(app_->DownloadPage()->FileLoadedText()->text(), Qs(path));
}

class ProtectedAreasPageTest : public UploadPageTest {
 protected:
  CProtectedAreaInfo* AreasPage() const { return app_->ProtectedAreasPage(); }
  QStringList Rows(QTreeWidget* list) const {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows << list->topLevelItem(i)->text(0) + " | " + list->topLevelItem(i)->text(1);
    }
    return rows;
  }
};

TEST_F(ProtectedAreasPageTest, ListsBothKindsOfAreasWhileConnectedAndEmptiesThemWhenLeft) {
  Fake().protectedAreas = {{0xC000, 0xFFFF}, {0x20000, 0x2FFFF}};
  Fake().noAccessAreas = {{0xB0000, 0xBFFFF}};
  EXPECT_FALSE(app_->Sheet()->SetActivePage(AreasPage()));
  ConnectModule();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(AreasPage()));
  EXPECT_EQ(Rows(AreasPage()->ProtectedList()),
            (QStringList{"Protected Area 1 | 0xC000 - 0xFFFF", "Protected Area 2 | 0x20000 - 0x2FFFF"}));
  EXPECT_EQ(Rows(AreasPage()->NoAccessList()), QStringList{"Non Access Area 1 | 0xB0000 - 0xBFFFF"});
  EXPECT_EQ(AreasPage()->ProtectedList()->headerItem()->text(1), "AddressRange");
  EXPECT_TRUE(Fake().handouts.empty());

  ASSERT_TRUE(app_->Sheet()->SetActivePage(app_->ConnectPage()));
  EXPECT_EQ(AreasPage()->ProtectedList()->topLevelItemCount(), 0);
  EXPECT_EQ(AreasPage()->NoAccessList()->topLevelItemCount(), 0);
}

TEST_F(ProtectedAreasPageTest, WithProtectedAreasEnabledOnlyTheNoAccessListIsFilled) {
  Fake().protectedAreas = {{0xC000, 0xFFFF}};
  Fake().noAccessAreas = {{0xB0000, 0xBFFFF}};
  ConnectModule();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(AreasPage()));
  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_TRUE(app_->ProtectedAreasEnabled());
  EXPECT_EQ(AreasPage()->ProtectedList()->topLevelItemCount(), 0);
  EXPECT_EQ(Rows(AreasPage()->NoAccessList()), QStringList{"Non Access Area 1 | 0xB0000 - 0xBFFFF"});
}

}  // namespace
}  // namespace zk::gui::test
