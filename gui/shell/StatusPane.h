#pragma once
#include "platform/NonCopyable.h"
// The sheet's status bar: one pane of stretching width holding the status
// text, the progress bar that a waiting loop lays over the pane's right
// half, and at its right end the summary of the last download.
#include <QProgressBar>
#include <QStatusBar>

#include <memory>

class QLabel;

namespace zk::gui {

class CStatusPane : public QStatusBar {
 public:
  explicit CStatusPane(QWidget* parent = nullptr);

  void SetText(const QString& text);
  QString Text() const;
  // The summary at the right end (empty: none); full is its tool tip.
  void SetSummary(const QString& text, const QString& full);
  QLabel* Summary() const { return summary_; }
  // The progress bar while one is shown; null otherwise.
  QProgressBar* Progress() const { return progress_.get(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class StatusProgress;
  QProgressBar* ShowProgress();
  void HideProgress();
  void PlaceProgress();

  QLabel* pane_;
  QLabel* summary_;
  std::unique_ptr<QProgressBar> progress_;
};

// A progress bar (0 to 100, at 0) over the right half of the pane for the
// lifetime of the object; none when pane is null.
class StatusProgress : private NonCopyable {
 public:
  explicit StatusProgress(CStatusPane* pane);
  ~StatusProgress();

  QProgressBar* Bar() const { return bar_; }
  void SetPosition(int percent);

 private:
  CStatusPane* const pane_;
  QProgressBar* const bar_;
};

}  // namespace zk::gui
