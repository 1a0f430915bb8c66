#pragma once
// "Password" (dialog 151): the password that enables the upload page and
// the access to the protected areas. The text goes to the module as typed;
// the workbench keeps and compares nothing.
#include "gui/dialogs/TextEntryDlg.h"

namespace zk::gui {

class CPwdDlg : public CTextEntryDlg {
 public:
  explicit CPwdDlg(QWidget* parent = nullptr);
};

}  // namespace zk::gui
