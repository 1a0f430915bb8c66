#pragma once
// The Qt face of the script runner: message boxes titled with the program's
// name, the modeless status window, the wait cursor, and a waiting loop that
// keeps the window responsive while it blocks on the event queue between
// two polls.
#include "runner/RunnerUi.h"
#include "runner/qt/StatusDialog.h"

#include <QTimer>

#include <memory>

namespace zk::runner {

class QtUi : public RunnerUi {
 public:
  QtUi();
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  void ShowMessage(std::string_view text, MessageKind kind) override;
  void ShowResult(std::string_view text, std::string_view caption) override;
  void OpenStatus(std::string_view caption, bool cancelEnabled) override;
  void CloseStatus(bool succeeded) override;
  bool CancelsWithoutWindow() const override { return false; }
  void BeginWait(bool) override {}
  void EndWait() override {}

  bool PumpOneEvent(client::EventFilter filter) override;
  bool TakeStopRequest() override;
  void WaitForEvent(uint32_t milliseconds) override;
  void ShowProgress(uint32_t percent) override;

  void Begin() override;
  void End() override;

  // The status window while a command shows it (tests look at it).
  CStatusDlg* Status() const { return status_.get(); }

 private:
  std::unique_ptr<CStatusDlg> status_;
  QTimer wake_;
};

}  // namespace zk::runner
