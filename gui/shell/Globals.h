#pragma once
// The process-wide objects of the workbench: the module description of the
// module selected in the module tree, the firmware version of the
// connection, the per-user profile, the activity log and the main window
// that owns message boxes. A GlobalObjects object makes them exist for its lifetime (the
// application creates one at start and deletes it at exit).
#include "common/IniFileAccess.h"
#include "gui/dialogs/InfoUse.h"
#include "gui/shell/ActivityLog.h"
#include "gui/shell/Profile.h"
#include "platform/NonCopyable.h"

class QWidget;

namespace zk::gui {

class GlobalObjects : private NonCopyable {
 public:
  GlobalObjects();
  ~GlobalObjects();

  IniFileAccess moduleDescription;
  InfoUse infoUse;
  CProfile profile;
  CActivityLog log;
  QWidget* mainWindow = nullptr;

 private:
  GlobalObjects* const previous_;
};

// The objects of the innermost living GlobalObjects; a fallback set when
// none lives, so that no caller ever meets a missing object.
GlobalObjects& Globals();
IniFileAccess& ModuleDescription();
InfoUse& TheInfoUse();
const CProfile& Profile();
CActivityLog& TheLog();
QWidget* MainWindow();

}  // namespace zk::gui
