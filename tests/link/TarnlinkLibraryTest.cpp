// libTarnlink.so as a host sees it: its exported names and its settings
// dialog, which comes from the plugin library beside it.
#include "common/NetApi.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"
#include "tests/link/NetFixture.h"
#include "tests/platform/MessageBoxRecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace zk::test {
namespace {

std::string LibraryPath() { return ZK_TARNLINK_LIBRARY; }

TEST(TarnlinkLibraryTest, ExportsExactlyTheLinkAndTransportFunctions) {
  std::FILE* nm = ::popen(("nm -D --defined-only " + LibraryPath()).c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, nm) != nullptr) {
    std::string text(line);
    text.erase(text.find_last_not_of("\r\n") + 1);
    names.insert(text.substr(text.find_last_of(' ') + 1));
  }
  ASSERT_EQ(::pclose(nm), 0);
  const std::set<std::string> expected{"TN3964R_Initialize",    "TN3964R_Shutdown",
                                       "TN3964R_Send",          "TN3964R_Receive",
                                       "TN3964R_GetCurrentECB", "TN3964R_ProcessEvents",
                                       "TN3964R_PassCallBack",  "NetSelectParams",
                                       "NetSelectProperty",     "NetSelectNode",
                                       "NetInitialize",         "NetShutDown",
                                       "NetSendData",           "NetRecData",
                                       "NetGetRxStatus",        "NetRestartRxTimeOut",
                                       "NetGetRxLength",        "NetGetStrayFrames",
                                       "NetGetLineFault"};
  EXPECT_EQ(names, expected);
}

// Drives the modal dialog once it is up.
void WhenDialogShows(const std::function<void(QDialog&)>& act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      WhenDialogShows(act);
      return;
    }
    act(*dialog);
  });
}

TEST(TarnlinkLibraryTest, SettingsDialogIsShownOnlyWithAnApplicationAndWritesTheChoice) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  LibraryHandle library = LoadLibrary(LibraryPath());
  ASSERT_NE(library, nullptr) << LastLibraryError();
  auto property = reinterpret_cast<net::SelectPropertyFn>(GetProcAddress(library, "NetSelectProperty"));
  ASSERT_NE(property, nullptr);

  TempDir dir;
  const std::string file =
      dir.Write("modul.ini",
                "[Locale]\nCountry=1\n[RS232]\nCOM=COM2\nBaud=9600\nNoCOMScan=1\nBaudList=57600, 9600\n"
                "ExtConfiguration=1\nRawMode=0\n");
  const std::string before = *files::ReadAll(file);
  EXPECT_EQ(property(file.c_str(), "RS232"), 0);  // no application yet
  EXPECT_EQ(*files::ReadAll(file), before);

  int argc = 1;
  char name[] = "TarnlinkTests";
  char* argv[] = {name, nullptr};
  {
    QApplication app(argc, argv);
    QString title;
    QStringList ports, rates;
    int portIndex = -1, rateIndex = -1;
    bool extendedShown = false;
    WhenDialogShows([&](QDialog& dialog) {
      title = dialog.windowTitle();
      auto* portBox = dialog.findChild<QComboBox*>("ctl300");
      auto* rateBox = dialog.findChild<QComboBox*>("ctl301");
      for (int i = 0; i < portBox->count(); ++i) ports << portBox->itemText(i);
      for (int i = 0; i < rateBox->count(); ++i) rates << rateBox->itemText(i);
      portIndex = portBox->currentIndex();
      rateIndex = rateBox->currentIndex();
      extendedShown = !dialog.findChild<QGroupBox*>("ctl307")->isHidden();
      portBox->setCurrentIndex(3);
      dialog.findChild<QCheckBox*>("ctl306")->setChecked(true);
      dialog.findChild<QPushButton*>("ctl1")->click();
    });
    EXPECT_EQ(property(file.c_str(), "RS232"), 1);
    EXPECT_EQ(title, "Network settings for RS232");
    EXPECT_EQ(ports, (QStringList{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(rates, (QStringList{"57600", "9600"}));
    EXPECT_EQ(portIndex, 1);
    EXPECT_EQ(rateIndex, 1);
    EXPECT_TRUE(extendedShown);
    EXPECT_EQ(zk::ini::GetString(file, "RS232", "COM", "", 255), "COM4");
    EXPECT_EQ(zk::ini::GetString(file, "RS232", "RawMode", "", 255), "1");

    // The German twin; Cancel writes nothing.
    const std::string german = dir.Write("de.ini", "[Locale]\nCountry=49\n[RS232]\nNoCOMScan=1\n");
    const std::string germanBefore = *files::ReadAll(german);
    QStringList texts;
    WhenDialogShows([&](QDialog& dialog) {
      texts << dialog.windowTitle() << dialog.findChild<QPushButton*>("ctl2")->text();
      extendedShown = !dialog.findChild<QGroupBox*>("ctl307")->isHidden();
      dialog.findChild<QPushButton*>("ctl2")->click();
    });
    EXPECT_EQ(property(german.c_str(), "RS232"), 0);
    EXPECT_EQ(texts, (QStringList{QString::fromUtf8("Netzwerkeinstellungen f\u00fcr RS232"), "&Abbrechen"}));
    EXPECT_FALSE(extendedShown);
    EXPECT_EQ(*files::ReadAll(german), germanBefore);
  }
  FreeLibrary(library);
}

TEST(TarnlinkLibraryTest, WithoutItsDialogLibraryTheSettingsDialogFailsWithAMessage) {
  TempDir dir;
  const std::string alone = dir.File("libTarnlink.so");
  std::filesystem::copy_file(LibraryPath(), alone);
  LibraryHandle library = LoadLibrary(alone);
  ASSERT_NE(library, nullptr) << LastLibraryError();
  auto property = reinterpret_cast<net::SelectPropertyFn>(GetProcAddress(library, "NetSelectProperty"));
  const std::string file = dir.Write("modul.ini", "[RS232]\nCOM=COM2\nBaud=9600\nNoCOMScan=1\n");
  const std::string before = *files::ReadAll(file);
  test::MessageBoxRecorder boxes;
  EXPECT_EQ(property(file.c_str(), "RS232"), 0);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_NE(boxes.texts[0].find(dir.File("libTarnlinkDialog.so")), std::string::npos) << boxes.texts[0];
  EXPECT_EQ(*files::ReadAll(file), before);
  FreeLibrary(library);
}

}  // namespace
}  // namespace zk::test
