// ZelkorGui, the workbench.
#include "client/qt/QtMessageBoxes.h"
#include "gui/Globals.h"
#include "gui/InfoOptions.h"
#include "gui/MessageBoxes.h"
#include "gui/ZelkorGuiApp.h"
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
