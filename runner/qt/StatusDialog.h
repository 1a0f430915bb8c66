#pragma once
// The modeless status window of a command: its caption, a progress bar
// (0..100) and Cancel. Cancel does not close the window; it only raises the
// cancel-requested flag that the waiting loop reads.
#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zk::runner {

class CStatusDlg : public QDialog {
 public:
  explicit CStatusDlg(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  void SetProgress(int percent);
  int Progress() const;
  void EnableCancel(bool enabled);
  // Whether Cancel was pressed since the last call.
  bool TakeCancelRequest();

 protected:
  // Neither the window's close button nor Escape ends the operation.
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}

 private:
  QLabel* caption_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  bool cancelRequested_ = false;
};

}  // namespace zk::runner
