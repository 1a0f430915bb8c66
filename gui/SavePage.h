#pragma once
// The upload page (dialog 150, tab "Upload"), inserted into the sheet only
// after a password was accepted. This version holds its links; its
// controls are not built yet.
#include "common/DmAccess.h"
#include "gui/PropertyPage.h"

namespace zk::gui {

class CDownloadPage;
class CStatusPane;

class CSave : public CPropertyPage {
 public:
  CSave(CStatusPane& status, CDmAccess& dm, CDownloadPage& download, QWidget* parent = nullptr);

 private:
  CStatusPane& status_;
  CDmAccess& dm_;
  CDownloadPage& download_;
};

}  // namespace zk::gui
