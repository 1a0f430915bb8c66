#include "gui/shell/WaitLoops.h"

#include "gui/shell/MessageBoxes.h"
#include "gui/shell/Texts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>

namespace zk::gui {
namespace {

// Waits nest when a message box shown during one runs another.
int runningWaits = 0;

}  // namespace

GuiWaitUi::GuiWaitUi(QProgressBar* bar, QAbstractButton* cancel, std::function<bool()> confirm,
                     std::function<void(uint32_t)> observe)
    : blocker_(cancel), bar_(bar), confirm_(std::move(confirm)), observe_(std::move(observe)) {
  wake_.setSingleShot(true);
  ++runningWaits;
}

GuiWaitUi::~GuiWaitUi() { --runningWaits; }

bool WaitLoopRunning() { return runningWaits > 0; }

bool GuiWaitUi::PumpOneEvent(client::EventFilter) {
  // The blocker drops the user's input whatever the filter: the workbench
  // never lets a command through while it waits.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  ServeMessageBoxRequests();
  // Everything pending was handled; the loop may wait now.
  return false;
}

bool GuiWaitUi::TakeStopRequest() { return blocker_.TakeStopRequest(); }

void GuiWaitUi::WaitForEvent(uint32_t milliseconds) {
  // The timer's event ends the wait when nothing else does.
  wake_.start(static_cast<int>(milliseconds));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  wake_.stop();
}

void GuiWaitUi::ShowProgress(uint32_t percent) {
  if (bar_ != nullptr) bar_->setValue(static_cast<int>(percent));
  if (observe_) observe_(percent);
}

bool GuiWaitUi::ConfirmStop() { return !confirm_ || confirm_(); }

void GuiWaitUi::ShowStopRefused(std::string_view text) {
  ShowMessage(text, LoadString(TextId::kSheetCaption), MB_OK | MB_ICONWARNING);
}

ResultCode ProgressLoop(client::CDmAccess& dm, QProgressBar* bar) {
  GuiWaitUi ui(bar, nullptr);
  client::WaitOptions options;
  options.filter = client::EventFilter::kNoCommands;
  options.showProgress = bar != nullptr;
  return client::WaitForWorker(dm, ui, options).status;
}

client::WaitOutcome CancellableLoop(client::CDmAccess& dm, const CancellableWait& wait) {
  GuiWaitUi ui(wait.bar, wait.cancel, wait.confirm, wait.observe);
  client::WaitOptions options;
  options.filter = client::EventFilter::kNoCommands;
  options.showProgress = wait.bar != nullptr || static_cast<bool>(wait.observe);
  options.skipZeroProgress = wait.skipZeroProgress;
  options.cancellable = true;
  options.confirmStop = static_cast<bool>(wait.confirm);
  options.pause = wait.pause;
  return client::WaitForWorker(dm, ui, options);
}

}  // namespace zk::gui
