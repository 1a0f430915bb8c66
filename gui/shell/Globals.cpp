#include "gui/shell/Globals.h"

namespace zk::gui {
namespace {

GlobalObjects* gCurrent = nullptr;

}  // namespace

GlobalObjects::GlobalObjects() : previous_(gCurrent) { gCurrent = this; }

GlobalObjects::~GlobalObjects() { gCurrent = previous_; }

GlobalObjects& Globals() {
  if (gCurrent != nullptr) return *gCurrent;
  static GlobalObjects fallback;
  return fallback;
}

IniFileAccess& ModuleDescription() { return Globals().moduleDescription; }
InfoUse& TheInfoUse() { return Globals().infoUse; }
const CProfile& Profile() { return Globals().profile; }
CActivityLog& TheLog() { return Globals().log; }
QWidget* MainWindow() { return Globals().mainWindow; }

}  // namespace zk::gui
