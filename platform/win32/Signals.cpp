#include "platform/Signals.h"

#include "platform/win32/Windows.h"

#include <atomic>

namespace zk {
namespace {

std::atomic<bool> gSignalled{false};
std::atomic<StopSignalHook> gHook{nullptr};

// Ctrl-C and Ctrl-Break interrupt; a closed console window is the hang-up;
// the end of the session or of the system terminates.
StopSignal KindOf(DWORD event) {
  switch (event) {
    case CTRL_CLOSE_EVENT: return StopSignal::kHangUp;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: return StopSignal::kTerminate;
    default: return StopSignal::kInterrupt;
  }
}

// The system calls it on a thread of its own.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  gSignalled.store(true);
  if (const StopSignalHook hook = gHook.load()) hook(KindOf(event));
  return TRUE;
}

}  // namespace

void InstallStopSignals(StopSignalHook hook) {
  gSignalled.store(false);
  gHook.store(hook);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopSignalled() { return gSignalled.load(); }

void RestoreStopSignals() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  gHook.store(nullptr);
}

// A write to a pipe whose reader has gone fails on Windows without more.
void IgnoreBrokenPipes() {}

}  // namespace zk
