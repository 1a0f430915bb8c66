#pragma once
// Ctrl-C (SIGINT), SIGTERM and SIGHUP ask zelkor to cancel: the running
// step is stopped where it can be, the module disconnected, the exit code
// 130. A closed standard output or error never ends a run: what is written
// there is lost, and the run goes on.
namespace zk::cli {

void InstallCancelHandler();
bool CancelRequested();

}  // namespace zk::cli
