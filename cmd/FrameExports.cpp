// The immediate exports of the command layer and the stop request.
#include "cmd/ResultBlockList.h"
#include "cmd/Settings.h"
#include "cmd/Worker.h"
#include "cmd/WorkerState.h"
#include "common/CmmApi.h"
#include "common/Export.h"

using namespace zk;

ZK_EXPORT uint32_t CmmGetCurrentThreadStatus(void) {
  cmd::WorkerState& state = cmd::Worker();
  return state.running != 0 ? static_cast<uint32_t>(kWorkerRunning) : state.status.load();
}

ZK_EXPORT uint8_t CmmGetProgress(void) {
  return static_cast<uint8_t>(cmd::Worker().progress.load() & 0xFF);
}

ZK_EXPORT uint32_t CmmStopCurrentThread(void) { return cmd::StopCurrentWorker(); }

ZK_EXPORT uint32_t CmmFreeMemory(void* block) {
  return cmd::ResultBlocks().Release(block) ? kOk : kFailed;
}

ZK_EXPORT uint8_t CmmSetEndOfFlash(uint32_t endOfFlash) {
  cmd::CurrentSettings().endOfFlash = endOfFlash;
  return 0;
}

ZK_EXPORT uint32_t CmmEnableProtectedAreas(uint32_t enable) {
  cmd::CurrentSettings().protectedAreasEnabled = enable;
  return kOk;
}
