#include "gui/PwdDlg.h"

#include "gui/ControlIds.h"

namespace zk::gui {
namespace {

TextEntryLayout Layout() {
  TextEntryLayout layout;
  layout.dialogId = kPasswordDialog;
  layout.caption = "Password";
  layout.prompt = "Please enter the password to enable the upload function and access to the protected areas.";
  layout.editId = kPasswordEdit;
  layout.hidden = true;
  return layout;
}

}  // namespace

CPwdDlg::CPwdDlg(QWidget* parent) : CTextEntryDlg(Layout(), parent) {}

}  // namespace zk::gui
