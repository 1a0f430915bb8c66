#include "client/DmAccessWait.h"

#include "platform/Messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace zk::client {
namespace {

constexpr uint32_t kFullProgress = 100;

// Takes one message off the calling thread's queue and translates it; the
// thread's messages have no window to be dispatched to.
bool TakeThreadMessage() {
  Msg msg;
  if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&msg);
  return true;
}

}  // namespace

std::string StopRefusedText(int lastError) {
  char text[32];
  std::snprintf(text, sizeof text, "ErrorCode: %d", lastError);
  return text;
}

void StopWorker(CDmAccess& dm, WaitUi& ui, uint32_t pause) {
  for (;;) {
    errno = 0;
    if (dm.StopCurrentThread() == 0) return;
    const int lastError = errno;
    // A worker that ended on its own needs no stop; asking again would
    // only be refused again.
    if (!WorkerRunning(dm.GetCurrentThreadStatus())) return;
    ui.ShowStopRefused(StopRefusedText(lastError));
    if (ui.AbandonStop()) return;
    ui.WaitForEvent(pause);
  }
}

WaitOutcome WaitForWorker(CDmAccess& dm, WaitUi& ui, const WaitOptions& options) {
  for (;;) {
    const bool threadMessage = TakeThreadMessage();
    const bool uiEvent = ui.PumpOneEvent(options.filter);
    if (options.showProgress) {
      const uint32_t percent = std::min(dm.GetProgress() & kStatusMask, kFullProgress);
      if (percent != 0 || !options.skipZeroProgress) ui.ShowProgress(percent);
    }
    if (options.cancellable && ui.TakeStopRequest() && (!options.confirmStop || ui.ConfirmStop())) {
      StopWorker(dm, ui, options.pause);
      return {WaitEnd::kStopped, dm.GetCurrentThreadStatus() & kStatusMask};
    }
    if (!WorkerRunning(dm.GetCurrentThreadStatus())) {
      return {WaitEnd::kEnded, dm.GetCurrentThreadStatus() & kStatusMask};
    }
    if (!threadMessage && !uiEvent) ui.WaitForEvent(options.pause);
  }
}

ResultCode DrainUntilEnded(CDmAccess& dm, uint32_t pause) {
  for (;;) {
    const bool taken = TakeThreadMessage();
    const uint32_t status = dm.GetCurrentThreadStatus();
    if (!WorkerRunning(status)) return status & kStatusMask;
    if (!taken) WaitForThreadMessage(pause);
  }
}

}  // namespace zk::client
