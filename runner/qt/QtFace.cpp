#include "runner/qt/QtFace.h"

#include "client/qt/QtMessageBoxes.h"
#include "client/qt/QtText.h"
#include "runner/ScriptRunner.h"
#include "runner/qt/MainFrame.h"
#include "runner/qt/QtUi.h"

#include <QApplication>

namespace zk::runner {

bool HasWindowFace() { return true; }

int RunQtFace(int argc, char** argv, const std::optional<std::string>& script) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(client::Qs(kProgramName));
  client::QtMessageBoxes boxes;
  CMainFrame frame;
  if (!script) {
    frame.show();
    return QApplication::exec();
  }
  QtUi ui;
  CScriptRunner runner(ui, true);
  return static_cast<int>(runner.Run(*script));
}

}  // namespace zk::runner
