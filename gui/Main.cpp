// ZelkorGui, the workbench.
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
  zk::gui::QtMessageBoxes boxes;
  zk::gui::CZelkorGuiApp app;
  return app.Run();
}
