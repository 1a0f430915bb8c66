// Takes pictures of the workbench's pages and dialogs, connected to the
// module simulator: GuiScreenshots <directory>. Run it on a display (for
// example under xvfb-run) to see the pages as a user does.
#include "gui/connect/ConnectPage.h"
#include "gui/connect/ModuleTree.h"
#include "gui/dialogs/InfoDlg.h"
#include "gui/dialogs/PropertiesDlg.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"
#include "gui/shell/HelpWindow.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/ZelkorGuiApp.h"
#include "gui/treelist/TreeListCtrl.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/gui/TempInstallation.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

using namespace zk::gui;

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool Save(QWidget* widget, const std::string& dir, const char* name) {
  Settle();
  const std::string path = dir + "/" + name;
  const bool saved = widget->grab().save(QString::fromStdString(path));
  std::printf("%s %s\n", saved ? "wrote" : "could not write", path.c_str());
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: GuiScreenshots <directory>\n");
    return 2;
  }
  const std::string out = argv[1];
  QApplication application(argc, argv);
  zk::gui::test::WorkbenchInstallation install(ZK_BIN);
  zk::e2e::ModSimProcess sim;
  if (!install.Ready() || !sim.Running()) {
    std::fprintf(stderr, "no installation or no simulator\n");
    return 1;
  }
  CZelkorGuiApp app;
  if (!app.InitInstance()) return 1;
  MyPropSheet* sheet = app.Sheet();
  sheet->show();
  CConnectPage* connect = app.ConnectPage();
  connect->Tree()->SelectPath("Simulator/ZkSim-Download");
  Save(sheet, out, "1-connect.png");

  // The wait keeps timers going: a picture while the firmware is sent.
  bool grabbed = false;
  QTimer during;
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (grabbed || sheet->StatusBar()->Progress() == nullptr) return;
    grabbed = Save(sheet, out, "0-connecting.png");
  });
  during.start(150);
  connect->ConnectButton()->click();
  during.stop();
  if (!connect->Connected()) return 1;
  CTreeListCtrl* table = app.FlashInfoPage()->Table();
  table->topLevelItem(0)->setExpanded(true);
  table->topLevelItem(0)->child(1)->setSelected(true);
  table->topLevelItem(0)->child(2)->setSelected(true);
  table->topLevelItem(2)->setSelected(true);
  sheet->findChild<QPushButton*>(ControlName(kStatusButton))->click();
  table->topLevelItem(0)->child(3)->setSelected(true);
  table->topLevelItem(1)->setSelected(true);
  Save(sheet, out, "2-flashinfo.png");

  sheet->SetActivePage(connect);
  Save(sheet, out, "3-connect-connected.png");

  CInfoDlg info(TheInfoUse(), sheet);
  info.show();
  Save(&info, out, "4-info.png");
  info.hide();

  CPropertiesDlg protocol(ModuleDescription(), app.InstallationDirectory(), sheet);
  protocol.show();
  Save(&protocol, out, "5-protocol.png");
  protocol.hide();

  sheet->ShowHelp(kConnectButton);
  Save(sheet->HelpWindow(), out, "6-help.png");
  sheet->HelpWindow()->hide();
  return 0;
}
