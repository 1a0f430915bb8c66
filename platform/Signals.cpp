#include "platform/Signals.h"

#include <atomic>
#include <csignal>

namespace zk {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<bool> gSignalled{false};
std::atomic<StopSignalHook> gHook{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<StopSignalHook>::is_always_lock_free);

StopSignal KindOf(int number) {
  switch (number) {
    case SIGTERM: return StopSignal::kTerminate;
    case SIGHUP: return StopSignal::kHangUp;
    default: return StopSignal::kInterrupt;
  }
}

extern "C" void OnStopSignal(int number) {
  gSignalled.store(true);
  if (const StopSignalHook hook = gHook.load()) hook(KindOf(number));
}

void SetAction(void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  for (const int number : kStopSignals) sigaddset(&action.sa_mask, number);
  for (const int number : kStopSignals) sigaction(number, &action, nullptr);
}

}  // namespace

void InstallStopSignals(StopSignalHook hook) {
  IgnoreBrokenPipes();
  gSignalled.store(false);
  gHook.store(hook);
  SetAction(OnStopSignal, SA_RESTART);
}

bool StopSignalled() { return gSignalled.load(); }

void RestoreStopSignals() {
  SetAction(SIG_DFL, 0);
  gHook.store(nullptr);
}

void IgnoreBrokenPipes() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace zk
