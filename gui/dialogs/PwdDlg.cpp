#include "gui/dialogs/PwdDlg.h"

#include "gui/shell/ControlIds.h"

namespace zk::gui {

CPwdDlg::CPwdDlg(QWidget* parent)
    : CTextEntryDlg({.dialogId = kPasswordDialog,
                     .caption = "Password",
                     .prompt = "Please enter the password to enable the upload function and access to the "
                               "protected areas.",
                     .label = {},
                     .editId = kPasswordEdit,
                     .hidden = true},
                    parent) {}

}  // namespace zk::gui
