#include "gui/dialogs/FlashLibDlg.h"

#include "gui/flashinfo/FlashDescription.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Texts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace zk::gui {

CFlashLibDlg::CFlashLibDlg(std::string installDir, QWidget* parent)
    : QDialog(parent), installDir_(std::move(installDir)), combo_(Child<QComboBox>(this)) {
  SetControlId(this, kFlashLibDialog);
  SetControlId(combo_, kFlashLibCombo);
  setWindowTitle("choose flash library");
  combo_->setMinimumWidth(260);
  combo_->setEditable(false);

  auto* layout = Child<QVBoxLayout>(this);
  auto* fields = Child<QWidget>(this);
  auto* form = Child<QFormLayout>(fields);
  form->setContentsMargins(0, 0, 0, 0);
  form->addRow("Flash library:", combo_);
  layout->addWidget(fields);

  auto* buttons = Child<QDialogButtonBox>(this);
  ok_ = buttons->addButton(QDialogButtonBox::Ok);
  QPushButton* cancel = buttons->addButton("cancel", QDialogButtonBox::RejectRole);
  SetControlId(ok_, kIdOk);
  SetControlId(cancel, kIdCancel);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    const int index = combo_->currentData().toInt();
    if (combo_->currentIndex() < 0 || index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
    chosen_ = entries_[static_cast<std::size_t>(index)].library;
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

ResultCode CFlashLibDlg::Add(const FlashLibInfo& library) {
  const std::string name = FlashDescriptionMode(FlashDescriptionPath(installDir_, library));
  if (name.empty()) return kInvalidFileFormat;
  entries_.push_back({name, library});
  return kOk;
}

void CFlashLibDlg::Fill() {
  combo_->clear();
  std::vector<std::size_t> order(entries_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return QString::compare(Qs(entries_[a].name), Qs(entries_[b].name), Qt::CaseInsensitive) < 0;
  });
  for (const std::size_t index : order) combo_->addItem(Qs(entries_[index].name), static_cast<int>(index));
  if (combo_->count() > 0) combo_->setCurrentIndex(0);
  ok_->setEnabled(combo_->count() > 0);
}

int CFlashLibDlg::exec() {
  Fill();
  return QDialog::exec();
}

}  // namespace zk::gui
