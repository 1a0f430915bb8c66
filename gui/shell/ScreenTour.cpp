#include "gui/shell/ScreenTour.h"

#include "gui/connect/ConnectPage.h"
#include "gui/download/DownloadPage.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/flashinfo/FlashMap.h"
#include "gui/flashinfo/ProtectedAreaInfo.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/Texts.h"
#include "gui/shell/ZelkorGuiApp.h"
#include "platform/Files.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace zk::gui {
namespace {

constexpr int kSettleRounds = 10;
constexpr int kProgressPollMs = 200;
constexpr int kMostCompressed = 0;

bool Fail(const char* step) {
  std::fprintf(stderr, "screenshots: %s\n", step);
  return false;
}

bool Save(QWidget* window, const std::string& directory, const char* name) {
  for (int i = 0; i < kSettleRounds; ++i) QCoreApplication::processEvents();
  const std::string path = files::Join(directory, name);
  if (!window->grab().save(Qs(path), "PNG", kMostCompressed)) return Fail(("cannot write " + path).c_str());
  std::printf("wrote %s\n", path.c_str());
  return true;
}

bool Tour(CZelkorGuiApp& app, const std::string& directory) {
  MyPropSheet& sheet = *app.Sheet();
  CConnectPage& connect = *app.ConnectPage();
  if (!Save(&sheet, directory, "connect.png")) return false;
  connect.ConnectOrDisconnect();
  if (!connect.Connected()) return Fail("the connect failed");

  const char* image = std::getenv(kScreenshotImageVariable);
  const std::string path = image != nullptr ? image : files::Join(app.InstallationDirectory(), "demo/demo.hex");
  CDownloadPage& download = *app.DownloadPage();
  sheet.SetActivePage(&download);
  download.OpenFile(path);
  if (!download.FileLoaded()) return Fail(("cannot load " + path).c_str());

  if (!download.EraseNeededBox()->isChecked()) download.EraseNeededBox()->click();
  // A picture while the image is programmed, once the time left is known.
  bool during = false;
  QTimer progress;
  QObject::connect(&progress, &QTimer::timeout, [&] {
    if (!during && download.ProgressText()->text().endsWith(" left")) {
      during = true;
      Save(&sheet, directory, "download-progress.png");
    }
  });
  progress.start(kProgressPollMs);
  download.Start();
  progress.stop();
  if (!Save(&sheet, directory, "download.png")) return false;

  // The map with the image programmed: the sectors it took are used now.
  CFlashInfoPage& info = *app.FlashInfoPage();
  sheet.SetActivePage(&info);
  info.OnStatusAll();
  // One sector selected, to show how the map marks the table's selection.
  if (!info.Map()->Cells().empty()) info.SelectSector(info.Map()->Cells().front().ref.group, 0, false);
  if (!Save(&sheet, directory, "flashinfo.png")) return false;

  if (CProtectedAreaInfo* areas = app.ProtectedAreasPage(); areas != nullptr && sheet.SetActivePage(areas)) {
    if (!Save(&sheet, directory, "protected-areas.png")) return false;
  }
  sheet.SetActivePage(&connect);
  return Save(&sheet, directory, "connected.png");
}

}  // namespace

std::optional<std::string> ScreenshotDirectory() {
  const char* directory = std::getenv(kScreenshotsVariable);
  if (directory == nullptr || *directory == '\0') return std::nullopt;
  return std::string(directory);
}

bool RunScreenTour(CZelkorGuiApp& app, const std::string& directory) {
  const bool done = Tour(app, directory);
  app.Sheet()->done(kWizardFinish);
  return done;
}

}  // namespace zk::gui
