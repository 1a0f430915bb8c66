#include "runner/qt/StatusDialog.h"

#include "runner/RunnerTexts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zk::runner {
namespace {

constexpr int kMinimumWidth = 320;

}  // namespace

CStatusDlg::CStatusDlg(QWidget* parent)
    : QDialog(parent),
      caption_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton("Cancel", this)) {
  setObjectName("dlg130");
  setWindowTitle(texts::kStatusTitle);
  setModal(false);
  setMinimumWidth(kMinimumWidth);
  caption_->setObjectName("ctl1000");
  bar_->setObjectName("ctl1001");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  cancel_->setObjectName("ctl2");
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption_);
  layout->addWidget(bar_);
  layout->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
}

void CStatusDlg::SetCaption(const QString& caption) { caption_->setText(caption); }

void CStatusDlg::SetProgress(int percent) { bar_->setValue(percent); }

int CStatusDlg::Progress() const { return bar_->value(); }

void CStatusDlg::EnableCancel(bool enabled) { cancel_->setEnabled(enabled); }

bool CStatusDlg::TakeCancelRequest() {
  const bool requested = cancelRequested_;
  cancelRequested_ = false;
  return requested;
}

void CStatusDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace zk::runner
