#include "gui/shell/StatusPane.h"

#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"

#include <QLabel>
#include <QProgressBar>

namespace zk::gui {
namespace {

constexpr int kFullProgress = 100;

}  // namespace

CStatusPane::CStatusPane(QWidget* parent)
    : QStatusBar(parent), pane_(Child<QLabel>(this)), summary_(Child<QLabel>(this)) {
  SetControlId(this, kSheetStatusBar);
  setSizeGripEnabled(false);
  pane_->setIndent(4);
  addWidget(pane_, 1);
  summary_->setObjectName("statusSummary");
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  addPermanentWidget(summary_);
  summary_->hide();
}

void CStatusPane::SetSummary(const QString& text, const QString& full) {
  summary_->setText(text);
  summary_->setToolTip(full);
  summary_->setVisible(!text.isEmpty());
}

void CStatusPane::SetText(const QString& text) {
  // Each change of the text is a line of the log.
  if (text != pane_->text()) TheLog().Add(LogKind::kStatus, text);
  pane_->setText(text);
  // The text is seen at once, also when a blocking call follows.
  pane_->repaint();
}

QString CStatusPane::Text() const { return pane_->text(); }

QProgressBar* CStatusPane::ShowProgress() {
  HideProgress();
  progress_ = std::make_unique<QProgressBar>(this);
  progress_->setRange(0, kFullProgress);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  PlaceProgress();
  progress_->show();
  progress_->raise();
  return progress_.get();
}

void CStatusPane::HideProgress() { progress_.reset(); }

void CStatusPane::PlaceProgress() {
  if (!progress_) return;
  const QRect pane = pane_->geometry();
  const int margin = 2;
  progress_->setGeometry(pane.left() + pane.width() / 2, pane.top() + margin, pane.width() - pane.width() / 2,
                         pane.height() - 2 * margin);
}

void CStatusPane::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  PlaceProgress();
}

StatusProgress::StatusProgress(CStatusPane* pane)
    : pane_(pane), bar_(pane != nullptr ? pane->ShowProgress() : nullptr) {}

StatusProgress::~StatusProgress() {
  if (pane_ != nullptr && pane_->Progress() == bar_) pane_->HideProgress();
}

void StatusProgress::SetPosition(int percent) {
  if (bar_ != nullptr) bar_->setValue(percent);
}

}  // namespace zk::gui
