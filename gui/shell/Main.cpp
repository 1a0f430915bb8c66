// ZelkorGui, the workbench.
#include "client/qt/QtMessageBoxes.h"
#include "gui/shell/Globals.h"
#include "gui/shell/InfoOptions.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/ZelkorGuiApp.h"
#include "platform/Signals.h"

#include <QApplication>

int main(int argc, char** argv) {
  zk::IgnoreBrokenPipes();
  if (const std::optional<int> done = zk::gui::AnswerInfoOptions(argc, argv)) return *done;
  QApplication application(argc, argv);
  QApplication::setApplicationName("ZelkorGui");
  zk::client::QtMessageBoxes boxes(&zk::gui::MainWindow);
  zk::gui::CZelkorGuiApp app;
  return app.Run();
}
