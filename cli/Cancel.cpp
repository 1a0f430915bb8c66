#include "cli/Cancel.h"

#include "platform/Signals.h"

namespace zk::cli {

void InstallCancelHandler() { InstallStopSignals(); }

bool CancelRequested() { return StopSignalled(); }

}  // namespace zk::cli
