#include "gui/DownloadPage.h"

#include "gui/ControlIds.h"

namespace zk::gui {

CDownloadPage::CDownloadPage(CDmAccess& dm, CFlashInfoPage& flashInfo, MyPropSheet& sheet, QWidget* parent)
    : CPropertyPage(kDownloadDialog, "Download", parent), dm_(dm), flashInfo_(flashInfo), sheet_(sheet) {
  static_cast<void>(dm_);
  static_cast<void>(flashInfo_);
  static_cast<void>(sheet_);
}

}  // namespace zk::gui
