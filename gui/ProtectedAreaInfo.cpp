#include "gui/ProtectedAreaInfo.h"

#include "gui/ControlIds.h"

namespace zk::gui {

CProtectedAreaInfo::CProtectedAreaInfo(CDmAccess& dm, QWidget* parent)
    : CPropertyPage(kProtectedAreasDialog, "Protected Areas Info", parent), dm_(dm) {
  static_cast<void>(dm_);
}

}  // namespace zk::gui
