#include "gui/SavePage.h"

#include "gui/ControlIds.h"

namespace zk::gui {

CSave::CSave(CStatusPane& status, CDmAccess& dm, CDownloadPage& download, QWidget* parent)
    : CPropertyPage(kUploadDialog, "Upload", parent), status_(status), dm_(dm), download_(download) {
  static_cast<void>(status_);
  static_cast<void>(dm_);
  static_cast<void>(download_);
}

}  // namespace zk::gui
