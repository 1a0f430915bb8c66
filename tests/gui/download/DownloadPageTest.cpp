// The download page against the scripted data manager: Open with its file
// types and start address, the file facts, Cancel during a load and a
// download, Start with chip or needed-sector erase, the bank offset list,
// the persisted boxes and the reload question after a change on disk.
#include "gui/connect/ConnectPage.h"
#include "gui/dialogs/EnterBinAddress.h"
#include "gui/download/DownloadPage.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/Globals.h"
#include "gui/shell/HelpWindow.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "tests/gui/GuiFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <optional>
#include <tuple>

namespace zk::gui::test {
namespace {

namespace fs = std::filesystem;

class DownloadPageTest : public GuiFixture {
 protected:
  void SetUp() override {
    GuiFixture::SetUp();
    AddModule("Mod", StandardModule());
    SetLastModul("Mod");
  }
  void ConnectModule() {
    StartApp();
    Page()->SetPollPauses({1, 1});
    Connect("Mod");
    ASSERT_TRUE(app_->ConnectPage()->Connected()) << ::testing::PrintToString(BoxTexts());
    ClearCalls();
  }
  CDownloadPage* Page() const { return app_->DownloadPage(); }
  // A file of content; by default a HEX file, or bytes that show no
  // format for a name ending in .bin.
  std::string File(const std::string& name, std::optional<std::string> content = std::nullopt) {
    const std::string path = dir_.Path() + "/files/" + name;
    WriteFile(path, content.value_or(name.ends_with(".bin") ? std::string("\x01\x02\x03", 3) : ":00000001FF\n"));
    return path;
  }
  // Chooses path in the open dialog; address answers the start address
  // question (unanswered: the question must not come).
  void Open(const std::string& path, const char* address = nullptr) {
    OnNextDialog<QFileDialog>([path](QFileDialog* dialog) {
      dialog->selectFile(Qs(path));
      static_cast<QDialog*>(dialog)->accept();
    });
    asked_ = false;
    OnNextDialog<EnterBinAddress>([this, address](EnterBinAddress* dialog) {
      asked_ = true;
      if (address == nullptr) {
        dialog->reject();
        return;
      }
      dialog->Edit()->setText(address);
      dialog->accept();
    });
    app_->Sheet()->RunCommand(kCmdOpen);
  }
  QString Status() const { return app_->Sheet()->StatusBar()->Text(); }

  // With erase chip remembered as checked: connects, sees whether the page
  // offers it checked, and starts the download of a.hex.
  void StartWithEraseChipRemembered(bool offered) {
    CProfile().WriteInt(kUserSection, "EraseChipFlag", 1);
    ConnectModule();
    ASSERT_TRUE(app_->Sheet()->SetActivePage(Page()));
    EXPECT_EQ(Page()->EraseChipBox()->isVisibleTo(Page()), offered);
    EXPECT_EQ(Page()->EraseChipBox()->isChecked(), offered);
    Open(File("a.hex"));
    ClearCalls();
    Page()->StartButton()->click();
  }

  bool asked_ = false;
};

TEST_F(DownloadPageTest, ABinaryFileAsksForItsStartAddressAHexFileDoesNot) {
  ConnectModule();
  Fake().imageBytes = 3072;
  const std::string bin = File("image.bin", std::string(2048, 'x'));
  Open(bin, "0x1F00");
  EXPECT_TRUE(asked_);
  EXPECT_EQ(Calls("DmLoadFile"), std::vector<std::string>{"DmLoadFile " + bin + " 1"});
  EXPECT_EQ(Calls("DmGetHexFileInfo"), std::vector<std::string>{"DmGetHexFileInfo 7936"});
  EXPECT_EQ(Page()->BinaryStartAddress(), 0x1F00u);
  EXPECT_EQ(Page()->FileLoadedText()->text(), Qs(bin));
  EXPECT_EQ(Page()->FileSizeText()->text(), "2.000 kBytes");
  EXPECT_EQ(Page()->DownloadSizeText()->text(), "3.000 kBytes");
  EXPECT_FALSE(Page()->FileDateText()->text().isEmpty());
  EXPECT_TRUE(Page()->FileLoaded());
  EXPECT_TRUE(app_->Sheet()->ToolButtonEnabled(kCmdToolDownload));
  EXPECT_EQ(Status(), "Ready");
  EXPECT_EQ(Profile().GetString(kUserSection, "WorkingDirectory"), dir_.Path() + "/files/");
  EXPECT_TRUE(app_->DataManager().RememberedFile() == bin);

  // The first bytes decide, whatever the name says.
  const std::tuple<const char*, const char*, ImageFileType> files[] = {
      {"IMAGE.HEX", ":00000001FF\n", ImageFileType::kHex},
      {"x.h86", ":00000001FF\n", ImageFileType::kHex},
      {"firmware.bin", ":00000001FF\n", ImageFileType::kHex},
      {"app.hex", "S9030000FC\n", ImageFileType::kSrec},
  };
  for (const auto& [name, content, type] : files) {
    ClearCalls();
    const std::string path = File(name, content);
    Open(path);
    EXPECT_FALSE(asked_) << name;
    EXPECT_EQ(Calls("DmLoadFile"),
              std::vector<std::string>{"DmLoadFile " + path + " " + std::to_string(client::LoadModeOf(type))});
    EXPECT_EQ(Page()->FileType(), type);
  }
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(BoxTexts());
}

TEST_F(DownloadPageTest, CancelInTheAddressQuestionLoadsNothingAndABadAddressIsAskedAgain) {
  ConnectModule();
  Open(File("image.bin"));
  EXPECT_TRUE(asked_);
  EXPECT_TRUE(Calls("DmLoadFile").empty());
  EXPECT_FALSE(Page()->FileLoaded());

  // A text that is no address keeps the dialog open with the reason.
  bool problemShown = false;
  OnNextDialog<QFileDialog>([this](QFileDialog* dialog) {
    dialog->selectFile(Qs(File("other.bin")));
    static_cast<QDialog*>(dialog)->accept();
  });
  OnNextDialog<EnterBinAddress>([&](EnterBinAddress* dialog) {
    dialog->Edit()->setText("12G4");
    QTest::mouseClick(dialog->findChild<QPushButton*>(ControlName(kIdOk)), Qt::LeftButton);
    problemShown = dialog->isVisible() && dialog->Problem()->isVisibleTo(dialog);
    dialog->Edit()->setText("1240");
    QTest::mouseClick(dialog->findChild<QPushButton*>(ControlName(kIdOk)), Qt::LeftButton);
  });
  app_->Sheet()->RunCommand(kCmdOpen);
  EXPECT_TRUE(problemShown);
  EXPECT_EQ(Page()->BinaryStartAddress(), 0x1240u);
  EXPECT_EQ(Calls("DmLoadFile").size(), 1u);
}

TEST_F(DownloadPageTest, ALoadStoppedWithCancelLeavesTheFileFactsAsTheyWere) {
  ConnectModule();
  Fake().polls = 1000;
  int polls = 0;
  Fake().onPoll = [&] {
    if (++polls == 2) QTest::mouseClick(Page()->OpenButton(), Qt::LeftButton);
  };
  bool cancelShown = false;
  Fake().onPoll = [&, inner = Fake().onPoll] {
    cancelShown = cancelShown || Page()->OpenButton()->text() == "Cancel";
    inner();
  };
  boxes_.answers = {IDYES};
  Open(File("a.hex"));
  EXPECT_TRUE(cancelShown);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "This will stop the load operation. Do you really want to stop ?");
  EXPECT_EQ(Calls("DmStopCurrentThread").size(), 1u);
  EXPECT_EQ(Page()->OpenButton()->text(), "Open");
  EXPECT_EQ(Status(), "Ready");
  EXPECT_FALSE(Page()->FileLoaded());
  EXPECT_TRUE(Page()->FileLoadedText()->text().isEmpty());
  EXPECT_FALSE(Page()->Watcher().Running());
}

TEST_F(DownloadPageTest, AFailedLoadIsReportedAndTheFileIsNotShownAsLoaded) {
  ConnectModule();
  Fake().loadStatus = 0xE1;  // the data manager holds no image afterwards
  Fake().loadProblem = "line 3: the file ends inside a record";
  Open(File("bad.hex"));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "LoadFile");
  EXPECT_TRUE(boxes_.shown[0].text.ends_with("\nline 3: the file ends inside a record")) << boxes_.shown[0].text;
  EXPECT_TRUE(Page()->FileLoadedText()->text().isEmpty());
  EXPECT_FALSE(Page()->FileLoaded());

  boxes_.shown.clear();
  Fake().loadResult = 0xF00000FB;
  Open(File("next.hex"));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Load File");
  EXPECT_TRUE(Page()->FileLoadedText()->text().isEmpty());
}

TEST_F(DownloadPageTest, AnOpenThatIsCancelledOrFailsLeavesTheHexImageInItsBank) {
  SetKeys("Mod", "Banks", {{"UseBanks", "1"}, {"DefaultBank", "2"}});
  ConnectModule();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(Page()));
  Fake().imageBytes = 16;  // the data manager keeps the hex image throughout
  const std::string hex = File("a.hex");
  Open(hex);
  const auto expectHexInBank2 = [&](const char* step) {
    EXPECT_TRUE(Page()->FileLoaded()) << step;
    EXPECT_EQ(Page()->FileLoadedText()->text(), Qs(hex)) << step;
    EXPECT_EQ(Page()->FileType(), ImageFileType::kHex) << step;
    EXPECT_TRUE(Page()->BankCombo()->isVisibleTo(Page())) << step;
    EXPECT_EQ(Page()->DownloadOffset(), 0x20000u) << step;
  };
  expectHexInBank2("hex loaded");
  Open(File("b.bin"));
  EXPECT_TRUE(asked_);
  expectHexInBank2("start address question cancelled");
  Fake().loadResult = 0xC0;
  Open(File("c.bin"), "100");
  expectHexInBank2("load refused");
  Fake().loadResult = 0;
  Fake().loadStatus = 0x50;
  Open(File("d.bin"), "100");
  expectHexInBank2("load failed");
  EXPECT_EQ(Page()->BinaryStartAddress(), 0u);

  ClearCalls();
  Page()->StartButton()->click();
  EXPECT_EQ(Calls("DmProgFlash"), std::vector<std::string>{"DmProgFlash 0x20000"});
}

TEST_F(DownloadPageTest, ProgrammingShowsTheBytesOfTheTotalThenASummaryAndAStopSaysWhereItStopped) {
  Fake().imageBytes = 8192;
  ConnectModule();
  Open(File("a.hex"));
  Fake().polls = 3;
  QString during;
  Fake().onPoll = [&] { during = Page()->ProgressText()->text(); };
  Page()->StartButton()->click();
  EXPECT_TRUE(during.startsWith("Programming: 4096 of 8192 bytes, ")) << Utf8(during);
  EXPECT_TRUE(during.endsWith(" left")) << Utf8(during);
  const QString summary = Page()->ProgressText()->text();
  EXPECT_TRUE(summary.startsWith("8192 bytes programmed in ")) << Utf8(summary);
  EXPECT_TRUE(summary.endsWith(
      ", not verified, image SHA-256 9e2df0a1190a1205c098889c455e5b76c4df18b5ccac2b7605da1575f05b64c5"));
  EXPECT_EQ(app_->Sheet()->StatusBar()->Summary()->toolTip(), summary);
  EXPECT_TRUE(app_->Sheet()->StatusBar()->Summary()->text().endsWith("SHA-256 9e2df0a1190a1205..."));
  EXPECT_EQ(Status(), "Download ready");

  Fake().polls = 1000;
  int polls = 0;
  Fake().onPoll = [&] {
    if (++polls == 2) QTest::keyClick(Page()->StartButton(), Qt::Key_Return);
  };
  boxes_.answers = {IDYES};
  Page()->StartButton()->click();
  EXPECT_TRUE(Page()->ProgressText()->text().startsWith("Stopped at 4096 of 8192 bytes"))
      << Utf8(Page()->ProgressText()->text());
  EXPECT_FALSE(app_->Sheet()->StatusBar()->Summary()->isVisibleTo(app_->Sheet()));
}

TEST_F(DownloadPageTest, ADownloadStoppedByEnterEndsWithDownloadReadyAndNoGoesOn) {
  ConnectModule();
  Open(File("a.hex"));
  ClearCalls();
  Fake().polls = 1000;
  int polls = 0;
  QString during;
  Fake().onPoll = [&] {
    if (++polls == 2) {
      during = Page()->StartButton()->text();
      QTest::keyClick(Page()->StartButton(), Qt::Key_Return);
    }
  };
  boxes_.answers = {IDYES};
  Page()->StartButton()->click();
  EXPECT_EQ(during, "Cancel");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "This will stop the download operation. Do you really want to stop ?");
  EXPECT_EQ(Calls(), (std::vector<std::string>{"DmProgFlash 0", "DmStopCurrentThread"}));
  EXPECT_EQ(Status(), "Download ready");
  EXPECT_EQ(Page()->StartButton()->text(), "Start");
  EXPECT_FALSE(Page()->DownloadRunning());

  // Answered No, the download goes on to its end.
  ClearCalls();
  boxes_.shown.clear();
  polls = 0;
  Fake().onPoll = [&] {
    ++polls;
    if (polls == 2) QTest::mouseClick(Page()->StartButton(), Qt::LeftButton);
    if (polls == 6) Fake().pollsLeft = 0;
  };
  boxes_.answers = {IDNO};
  Page()->StartButton()->click();
  EXPECT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(Calls("DmStopCurrentThread").empty());
  EXPECT_EQ(Status(), "Download ready");
}

TEST_F(DownloadPageTest, NeededSectorsAreErasedBankByBankThenTheImageIsProgrammed) {
  SetKeys("Mod", "FlashConfig", {{"FlashBanks", "2"}, {"FlashStart1", "0x40000"}, {"FlashMode1", "2"}});
  Fake().libraries[0x40000] = {{{1, 0x2202, 0x00a7, 1}}};
  ConnectModule();
  Open(File("a.hex"));
  Page()->EraseNeededBox()->click();
  Fake().neededSectors = {{0x0, 0x3FFF, 0x4000}, {0x10000, 0x1FFFF, 0x10000}};
  Fake().eraseStatus = 0x51;  // the first range fails on its worker: the next one follows
  int erases = 0;
  Fake().onPoll = [&] {
    if (Fake().endStatus == 0x51 && ++erases == 1) return;
    Fake().eraseStatus = 0;
  };
  ClearCalls();
  Page()->StartButton()->click();
  const std::vector<std::string> expected{"DmSetFlashBaseAddress 0 1",
                                          "DmGetHexFileInfo 0",
                                          "DmEraseSectors 0 0x3fff 16384",
                                          "DmEraseSectors 0x10000 0x1ffff 65536",
                                          "DmSetFlashBaseAddress 262144 2",
                                          "DmGetHexFileInfo 0",
                                          "DmEraseSectors 0 0x3fff 16384",
                                          "DmEraseSectors 0x10000 0x1ffff 65536",
                                          "DmProgFlash 0"};
  EXPECT_EQ(Calls(), expected);
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown[0].caption, "EraseSector");
  EXPECT_TRUE(Fake().handouts.empty());
  EXPECT_EQ(Profile().GetInt(kUserSection, "EraseNeededSectorsFlag", 0), 1u);
}

TEST_F(DownloadPageTest, AnEraseThatCannotStartEndsStartAndAnEmptyImageShowsString197) {
  ConnectModule();
  Open(File("a.hex"));
  Page()->EraseNeededBox()->click();
  Fake().neededSectors = {{0x0, 0x3FFF, 0x4000}, {0x4000, 0x7FFF, 0x4000}};
  Fake().eraseResult = 0x46;
  ClearCalls();
  Page()->StartButton()->click();
  EXPECT_EQ(Calls("DmEraseSectors").size(), 1u);
  EXPECT_TRUE(Calls("DmProgFlash").empty());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Erase Sector");
  EXPECT_EQ(Status(), "Ready");

  boxes_.shown.clear();
  Page()->EraseNeededBox()->click();
  Fake().progStatus = 224;
  Page()->StartButton()->click();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "No data to download. Please open a file first.");
  EXPECT_EQ(Status(), "Download ready");
}

TEST_F(DownloadPageTest, WithProtectedAreasEraseChipIsHiddenAndUnchecked) {
  SetKeys("Mod", "General", {{"NumberOfProtectedAreas", "1"}});
  ASSERT_NO_FATAL_FAILURE(StartWithEraseChipRemembered(false));
  EXPECT_TRUE(Calls("DmEraseChip").empty());
  EXPECT_EQ(Calls("DmProgFlash").size(), 1u);
}

TEST_F(DownloadPageTest, WithoutProtectedAreasTheRememberedEraseChipErasesEveryBankFirst) {
  ASSERT_NO_FATAL_FAILURE(StartWithEraseChipRemembered(true));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"DmSetFlashBaseAddress 0 1", "DmEraseChip", "DmProgFlash 0"}));

  // A failed chip erase ends Start before programming.
  Fake().eraseChipResult = 0x46;
  ClearCalls();
  Page()->StartButton()->click();
  EXPECT_TRUE(Calls("DmProgFlash").empty());
  EXPECT_EQ(Status(), "Ready");
}

TEST_F(DownloadPageTest, ABankThatAProtectedAreaCoversIsOfferedOnlyWhileProtectedAreasAreEnabled) {
  SetKeys("Mod", "Banks", {{"UseBanks", "1"}, {"DefaultBank", "2"}});
  Fake().protectedAreas = {{0x10000, 0x1FFFF}};
  ConnectModule();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(Page()));
  QComboBox* banks = Page()->BankCombo();
  const auto entries = [banks] {
    QStringList texts;
    for (int i = 0; i < banks->count(); ++i) texts << banks->itemText(i);
    return texts;
  };
  EXPECT_TRUE(banks->isVisibleTo(Page()));
  EXPECT_EQ(entries(), (QStringList{"Bank 0", "Bank 2", "Bank 3"}));
  EXPECT_EQ(banks->currentText(), "Bank 2");
  EXPECT_EQ(Page()->MappedAddress()->text(), "0x20000");
  EXPECT_TRUE(Fake().handouts.empty());

  QTest::keyClick(app_->Sheet(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(entries(), (QStringList{"Bank 0", "Bank 1", "Bank 2", "Bank 3"}));

  Open(File("a.hex"));
  ClearCalls();
  Page()->StartButton()->click();
  EXPECT_EQ(Calls("DmProgFlash"), std::vector<std::string>{"DmProgFlash 0x10000"});
}

TEST_F(DownloadPageTest, ABinaryFileHidesTheBankOffsetAndIsProgrammedAtItsStartAddress) {
  SetKeys("Mod", "Banks", {{"UseBanks", "1"}, {"DefaultBank", "1"}});
  ConnectModule();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(Page()));
  Open(File("image.bin"), "8000");
  EXPECT_FALSE(Page()->BankCombo()->isVisibleTo(Page()));
  ClearCalls();
  Page()->StartButton()->click();
  EXPECT_EQ(Calls("DmProgFlash"), std::vector<std::string>{"DmProgFlash 0x8000"});
}

TEST_F(DownloadPageTest, F1OnAControlWhoseIdAnotherPageSharesShowsThisPagesTopic) {
  fs::copy_file(std::string(ZK_BIN) + "/ZelkorGui.html", install_ + "/ZelkorGui.html");
  ConnectModule();
  ASSERT_TRUE(app_->Sheet()->SetActivePage(Page()));
  Page()->OpenButton()->setFocus();
  QApplication::setActiveWindow(app_->Sheet());
  QTest::keyClick(Page()->OpenButton(), Qt::Key_F1);
  ASSERT_NE(app_->Sheet()->HelpWindow(), nullptr);
  EXPECT_EQ(app_->Sheet()->HelpWindow()->CurrentTopic(), "ctl108-1023");
  app_->Sheet()->ShowHelp(kEraseBankButton, kFlashInfoDialog);
  EXPECT_EQ(app_->Sheet()->HelpWindow()->CurrentTopic(), "ctl1023");
}

TEST_F(DownloadPageTest, ThePageCannotBeShownWhileNotConnected) {
  StartApp();
  EXPECT_FALSE(app_->Sheet()->SetActivePage(Page()));
}

TEST_F(DownloadPageTest, TouchingTheLoadedFileAsksOncePerNewTimeStamp) {
  ConnectModule();
  const std::string hex = File("watched.hex");
  const auto stamp = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(hex));
  fs::last_write_time(hex, stamp);
  Open(hex);
  ASSERT_TRUE(Page()->Watcher().Running());
  ClearCalls();
  const auto questions = [this] {
    int count = 0;
    for (const ShownBox& box : boxes_.shown) count += box.text.find("has been changed") != std::string::npos;
    return count;
  };
  boxes_.answers = {IDNO};
  fs::last_write_time(hex, stamp + std::chrono::seconds(5));
  ASSERT_TRUE(WaitUntil([&] { return questions() == 1; }));
  EXPECT_EQ(boxes_.shown[0].text,
            "The file " + hex + " has been changed by another application. Do you want to reload the file ?");
  // The activation of the window compares again: the same time asks nothing.
  Page()->CheckFileChanged();
  fs::last_write_time(hex, stamp + std::chrono::milliseconds(5300));
  Page()->CheckFileChanged();
  EXPECT_EQ(questions(), 1);
  EXPECT_TRUE(Calls("DmLoadFile").empty());

  // A new time asks again, whichever side sees it first, and Yes reloads.
  boxes_.answers = {IDYES};
  fs::last_write_time(hex, stamp + std::chrono::seconds(9));
  Page()->CheckFileChanged();
  ASSERT_TRUE(WaitUntil([&] { return questions() == 2; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(questions(), 2);
  EXPECT_EQ(Calls("DmLoadFile"), std::vector<std::string>{"DmLoadFile " + hex + " 0"});
  EXPECT_EQ(Status(), "Ready");
}

TEST_F(DownloadPageTest, AChangeDuringADownloadIsAskedAboutAfterIt) {
  ConnectModule();
  const std::string hex = File("a.hex");
  const auto stamp = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(hex));
  fs::last_write_time(hex, stamp);
  Open(hex);
  Fake().polls = 1000;
  int polls = 0;
  Fake().onPoll = [&] {
    ++polls;
    if (polls == 2) {
      fs::last_write_time(hex, stamp + std::chrono::seconds(3));
      Page()->CheckFileChanged();
    }
    if (polls == 4) Fake().pollsLeft = 0;
  };
  boxes_.answers = {IDNO};
  Page()->StartButton()->click();
  EXPECT_TRUE(boxes_.shown.empty()) << ::testing::PrintToString(BoxTexts());
  ASSERT_TRUE(WaitUntil([this] { return boxes_.shown.size() == 1; }));
  EXPECT_NE(boxes_.shown[0].text.find("has been changed"), std::string::npos);
}

TEST_F(DownloadPageTest, OpeningAnotherFileWatchesThatOneAndTheWatcherEndsWithThePage) {
  ConnectModule();
  const std::string first = File("first.hex");
  const std::string second = File("second.hex");
  Open(first);
  EXPECT_EQ(Page()->Watcher().Path(), first);
  Open(second);
  EXPECT_EQ(Page()->Watcher().Path(), second);
  EXPECT_TRUE(Page()->Watcher().Running());
  app_.reset();  // the page goes, with its watcher thread
  fs::last_write_time(second, fs::last_write_time(second) + std::chrono::seconds(4));
  QCoreApplication::processEvents();
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
}  // namespace zk::gui::test
