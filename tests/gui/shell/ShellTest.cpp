// The sheet and the application: start-up, pages, toolbar, Enter, the hidden
// commands, help, info and the way out.
#include "gui/connect/ConnectPage.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"
#include "gui/shell/HelpWindow.h"
#include "gui/shell/LogPane.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "tests/gui/GuiFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

#include <stdlib.h>

namespace zk::gui::test {
namespace {

class ShellTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    AddModule("Group/ModA", StandardModule(), "Module A");
    SetLastModul("Group\\ModA");
  }
  QTabWidget* Tabs() const { return Find<QTabWidget>(kSheetTabs); }
};

TEST_F(ShellTest, WithoutTheInstallationEntryOnlyMessage205IsShown) {
  setenv("ZELKOR_MACHINE_REGISTRY", (dir_.Path() + "/none.reg").c_str(), 1);
  CZelkorGuiApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.Sheet(), nullptr);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Your installation of Zelkor3 is corrupt. Please run setup again.");
  EXPECT_TRUE(Calls().empty());
}

TEST_F(ShellTest, StartsWithFourPagesReadyAndTheDownloadAndDisconnectButtonsOff) {
  StartApp();
  MyPropSheet* sheet = app_->Sheet();
  EXPECT_EQ(sheet->windowTitle(), "Zelkor 3");
  QStringList titles;
  for (int i = 0; i < Tabs()->count(); ++i) titles << Tabs()->tabText(i);
  EXPECT_EQ(titles, (QStringList{"Connect", "FlashInfo", "Download", "Protected Areas Info"}));
  EXPECT_EQ(sheet->StatusBar()->Text(), "Ready");
  EXPECT_FALSE(sheet->ToolButtonEnabled(kCmdToolDownload));
  EXPECT_FALSE(sheet->ToolButtonEnabled(kCmdToolDisconnect));
  EXPECT_TRUE(sheet->ToolButtonEnabled(kCmdToolConnect));
  EXPECT_EQ(sheet->Action(kCmdToolLoad)->toolTip(), "Load file");
  EXPECT_EQ(sheet->Action(kCmdToolInfo)->toolTip(), "Info");
  // The data manager was loaded for the last module, nothing called yet.
  EXPECT_TRUE(app_->DataManager().Loaded());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(ShellTest, EnterPressesNoButtonAndDoesNotCloseTheSheet) {
  StartApp();
  QPushButton* button = Find<QPushButton>(kConnectButton);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Enter);
  QTest::keyClick(app_->Sheet(), Qt::Key_Escape);
  EXPECT_TRUE(Calls("DmLogin").empty());
  EXPECT_TRUE(app_->Sheet()->isVisible());
}

TEST_F(ShellTest, ProtectedAreasKeyWhileDisconnectedDoesNothing) {
  StartApp();
  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(app_->ProtectedAreasEnabled());
}

TEST_F(ShellTest, ProtectedAreasKeyWhileConnectedTogglesTheSwitch) {
  StartApp();
  Connect("Group/ModA");
  ClearCalls();
  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_TRUE(app_->ProtectedAreasEnabled());
  EXPECT_EQ(Calls("DmEnableProtectedAreas"), std::vector<std::string>{"DmEnableProtectedAreas 1"});
  Fake().enableResult = 0x90;
  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_FALSE(app_->ProtectedAreasEnabled());
  EXPECT_EQ(BoxTexts().back(), "EnableProtAreas: Invalid password");
}

TEST_F(ShellTest, InfoShowsTheFirmwareOnlyWhileConnected) {
  StartApp();
  QString firmware;
  const auto readInfo = [&] {
    OnNextModal([&](QDialog* dialog) {
      firmware = dialog->findChild<QLineEdit*>(ControlName(kFirmwareText))->text();
      dialog->accept();
    });
    app_->Sheet()->RunCommand(kCmdToolInfo);
  };
  readInfo();
  EXPECT_EQ(firmware, QString::fromUtf8("no connection to µC"));
  Connect("Group/ModA");
  readInfo();
  EXPECT_EQ(firmware, QString::fromUtf8("µC - Firmware 2.1 Build 7"));
  app_->ConnectPage()->ConnectOrDisconnect();
  readInfo();
  EXPECT_EQ(firmware, QString::fromUtf8("no connection to µC"));
}

TEST_F(ShellTest, F1OpensTheTopicOfTheFocusedControl) {
  std::filesystem::copy_file(std::string(ZK_BIN) + "/ZelkorGui.html", install_ + "/ZelkorGui.html");
  StartApp();
  QPushButton* button = Find<QPushButton>(kConnectButton);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_F1);
  ASSERT_NE(app_->Sheet()->HelpWindow(), nullptr);
  EXPECT_TRUE(app_->Sheet()->HelpWindow()->isVisible());
  EXPECT_EQ(app_->Sheet()->HelpWindow()->CurrentTopic(), "ctl1002");
  app_->Sheet()->RunCommand(kCmdHelpTopics);
  EXPECT_EQ(app_->Sheet()->HelpWindow()->CurrentTopic(), "");
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(ShellTest, TheFlashInfoPageRefusesWhileDisconnected) {
  StartApp();
  Tabs()->setCurrentIndex(1);
  EXPECT_EQ(Tabs()->currentIndex(), 0);
  EXPECT_EQ(app_->Sheet()->GetActivePage(), app_->ConnectPage());
}

TEST_F(ShellTest, MenusOfferConnectOrDisconnectByTheState) {
  StartApp();
  QMenu* connection = app_->Sheet()->findChild<QMenuBar*>()->actions()[1]->menu();
  emit connection->aboutToShow();
  EXPECT_TRUE(app_->Sheet()->Action(kCmdConnect)->isEnabled());
  EXPECT_FALSE(app_->Sheet()->Action(kCmdDisconnect)->isEnabled());
  Connect("Group/ModA");
  emit connection->aboutToShow();
  emit app_->Sheet()->findChild<QMenuBar*>()->actions()[0]->menu()->aboutToShow();
  EXPECT_FALSE(app_->Sheet()->Action(kCmdConnect)->isEnabled());
  EXPECT_TRUE(app_->Sheet()->Action(kCmdDisconnect)->isEnabled());
  EXPECT_FALSE(app_->Sheet()->Action(kCmdDownload)->isEnabled());
}

TEST_F(ShellTest, ExitWhileConnectedDisconnectsWithModeZero) {
  StartApp();
  Connect("Group/ModA");
  ASSERT_TRUE(app_->ConnectPage()->Connected());
  ClearCalls();
  app_->Sheet()->RunCommand(kCmdExit);
  EXPECT_EQ(app_->Sheet()->result(), kWizardFinish);
  app_->ExitInstance();
  EXPECT_EQ(Calls(), std::vector<std::string>{"DmExitZelkor 0 0"});
}

TEST_F(ShellTest, ExitWhileDisconnectedCallsNothing) {
  StartApp();
  app_->ExitInstance();
  EXPECT_TRUE(Calls().empty());
}

TEST_F(ShellTest, TheLogPaneHasEveryStepStatusMessageAndCodeAndKeepsWhetherItIsShown) {
  StartApp();
  CLogPane* pane = app_->Sheet()->findChild<CLogPane*>("logPane");
  ASSERT_EQ(pane, app_->Sheet()->LogPane());
  EXPECT_TRUE(pane->isVisible());
  Fake().loginStatus = 0x10;
  Connect("Group/ModA");
  const QString text = pane->TextView()->toPlainText();
  for (const char* line : {"status   Loading firmware", "step     connect started", "step     connect: logging in",
                           "result   connect: ended, result code 16 (0x10)", "result   Connect: result code 16 (0x10)",
                           "message  Connect: No answer from target", "step     connect not done"}) {
    EXPECT_TRUE(text.contains(line)) << line << "\n" << Utf8(text);
  }
  EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  status   Ready$")
                  .match(text.split('\n').front())
                  .hasMatch())
      << Utf8(text);

  pane->CopyButton()->click();
  EXPECT_EQ(QApplication::clipboard()->text(), TheLog().Text());
  const std::string saved = dir_.Path() + "/log.txt";
  OnNextDialog<QFileDialog>([&saved](QFileDialog* dialog) {
    dialog->selectFile(Qs(saved));
    static_cast<QDialog*>(dialog)->accept();
  });
  pane->SaveButton()->click();
  EXPECT_EQ(ReadFile(saved), Utf8(TheLog().Text()));

  // A file that cannot be written is said so.
  boxes_.shown.clear();
  EXPECT_FALSE(pane->SaveTo(Qs(dir_.Path())));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Save log: The log could not be written to " + dir_.Path() + "."});

  // Hidden from the View menu, it starts hidden next time.
  pane->toggleViewAction()->trigger();
  EXPECT_FALSE(pane->isVisible());
  app_.reset();
  StartApp();
  EXPECT_FALSE(app_->Sheet()->LogPane()->isVisibleTo(app_->Sheet()));
  app_->Sheet()->LogPane()->toggleViewAction()->trigger();
  EXPECT_TRUE(app_->Sheet()->LogPane()->isVisible());
}

}  // namespace
}  // namespace zk::gui::test
