#include "cli/Cancel.h"

#include <csignal>

namespace zk::cli {
namespace {

volatile std::sig_atomic_t g_cancel = 0;

extern "C" void OnCancelSignal(int) { g_cancel = 1; }

}  // namespace

void InstallCancelHandler() {
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool CancelRequested() { return g_cancel != 0; }

}  // namespace zk::cli
