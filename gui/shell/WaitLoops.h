#pragma once
// The workbench's waits for a data manager worker, on the GUI thread: the
// window keeps painting and the progress bar moves, while the user's clicks
// and commands (other than the operation's own Cancel button) are dropped.
// Between two polls the loop waits for the next event for at most the
// pause, so it never spins.
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"
#include "gui/shell/InputBlocker.h"
#include "platform/NonCopyable.h"

#include <QPointer>
#include <QTimer>

#include <functional>

class QAbstractButton;
class QProgressBar;

namespace zk::gui {

class GuiWaitUi : public client::WaitUi, private NonCopyable {
 public:
  // bar and cancel may be null; confirm answers whether a stop request is
  // to stop the operation.
  GuiWaitUi(QProgressBar* bar, QAbstractButton* cancel, std::function<bool()> confirm = {},
            std::function<void(uint32_t)> observe = {});
  ~GuiWaitUi() override;

  bool PumpOneEvent(client::EventFilter filter) override;
  bool TakeStopRequest() override;
  void WaitForEvent(uint32_t milliseconds) override;
  void ShowProgress(uint32_t percent) override;
  bool ConfirmStop() override;
  void ShowStopRefused(std::string_view text) override;

 private:
  InputBlocker blocker_;
  QPointer<QProgressBar> bar_;
  std::function<bool()> confirm_;
  std::function<void(uint32_t)> observe_;
  QTimer wake_;
};

// Whether a wait for a data manager worker runs on the GUI thread: work
// that would start another operation has to wait until it has ended.
bool WaitLoopRunning();

// The progress loop: polls until the worker has ended and returns its final
// status (0: success).
ResultCode ProgressLoop(client::CDmAccess& dm, QProgressBar* bar);

struct CancellableWait {
  QProgressBar* bar = nullptr;
  QAbstractButton* cancel = nullptr;
  uint32_t pause = client::kDefaultPollPause;
  bool skipZeroProgress = false;
  std::function<bool()> confirm;  // empty: every stop request stops
  // Told of every progress the worker reports (with or without a bar).
  std::function<void(uint32_t percent)> observe;
};

// The cancellable loop: like the progress loop, and a click on the Cancel
// button or Enter asks (through confirm) whether to stop the worker.
client::WaitOutcome CancellableLoop(client::CDmAccess& dm, const CancellableWait& wait);

}  // namespace zk::gui
