// The immediate exports of the command layer and the stop request.
#include "cmd/Session.h"
#include "common/CmmApi.h"
#include "common/Export.h"

using namespace zk;

ZK_EXPORT uint32_t CmmGetCurrentThreadStatus(void) {
  const cmd::OperationWorker& worker = cmd::CurrentSession().worker;
  return worker.Running() ? static_cast<uint32_t>(kWorkerRunning) : worker.Status();
}

ZK_EXPORT uint8_t CmmGetProgress(void) { return static_cast<uint8_t>(cmd::CurrentSession().worker.Progress() & 0xFF); }

ZK_EXPORT uint32_t CmmStopCurrentThread(void) { return cmd::CurrentSession().worker.Stop(); }

ZK_EXPORT uint32_t CmmFreeMemory(void* block) { return cmd::CurrentSession().handouts.Release(block) ? kOk : kFailed; }

ZK_EXPORT uint8_t CmmSetEndOfFlash(uint32_t endOfFlash) {
  cmd::CurrentSession().settings.endOfFlash = endOfFlash;
  return 0;
}

ZK_EXPORT uint32_t CmmEnableProtectedAreas(uint32_t enable) {
  cmd::CurrentSession().settings.protectedAreasEnabled = enable;
  return kOk;
}
