// ZelkorGui, the workbench.
#include "gui/MessageBoxes.h"
#include "gui/ZelkorGuiApp.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("ZelkorGui");
  zk::gui::QtMessageBoxes boxes;
  zk::gui::CZelkorGuiApp app;
  return app.Run();
}
