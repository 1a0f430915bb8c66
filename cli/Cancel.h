#pragma once
// Ctrl-C (SIGINT) and SIGTERM ask zelkor to cancel: the running step is
// stopped where it can be, the module disconnected, the exit code 130.
namespace zk::cli {

void InstallCancelHandler();
bool CancelRequested();

}  // namespace zk::cli
