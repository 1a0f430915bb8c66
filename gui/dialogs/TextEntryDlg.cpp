#include "gui/dialogs/TextEntryDlg.h"

#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace zk::gui {

CTextEntryDlg::CTextEntryDlg(const TextEntryLayout& layout, QWidget* parent)
    : QDialog(parent), edit_(Child<QLineEdit>(this)), problem_(Child<QLabel>(this)) {
  SetControlId(this, layout.dialogId);
  SetControlId(edit_, layout.editId);
  setWindowTitle(layout.caption);
  if (layout.hidden) edit_->setEchoMode(QLineEdit::Password);
  edit_->setMinimumWidth(200);

  auto* box = Child<QVBoxLayout>(this);
  auto* prompt = Child<QLabel>(this, layout.prompt);
  prompt->setWordWrap(true);
  box->addWidget(prompt);
  auto row = std::make_unique<QHBoxLayout>();
  if (!layout.label.isEmpty()) row->addWidget(Child<QLabel>(this, layout.label));
  row->addWidget(edit_, 1);
  box->addLayout(row.release());  // owned by box
  problem_->setStyleSheet("color: #b00000");
  problem_->hide();
  box->addWidget(problem_);

  auto* buttons = Child<QDialogButtonBox>(this);
  QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  SetControlId(ok, kIdOk);
  SetControlId(cancel, kIdCancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CTextEntryDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  box->addWidget(buttons);
  edit_->setFocus();
}

void CTextEntryDlg::accept() {
  const QString text = edit_->text();
  if (check_) {
    const QString problem = check_(text);
    if (!problem.isEmpty()) {
      problem_->setText(problem);
      problem_->show();
      edit_->setFocus();
      edit_->selectAll();
      return;
    }
  }
  entered_ = text;
  QDialog::accept();
}

}  // namespace zk::gui
