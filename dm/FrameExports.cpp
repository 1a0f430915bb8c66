// Progress, status and stop of the current operation, and the release of
// buffers handed to callers.
#include "common/DmApi.h"
#include "common/Export.h"
#include "dm/CommandLayer.h"
#include "dm/Forward.h"
#include "dm/Progress.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"

using namespace zk;
using dm::Cmd;
using dm::State;

ZK_EXPORT uint32_t DmGetProgress(void) {
  const dm::DmState& state = State();
  if (state.progressForwarded == 0) return state.worker.Progress();
  return Cmd().Call<cmm::GetProgressFn>("CmmGetProgress");
}

ZK_EXPORT uint32_t DmGetCurrentThreadStatus(void) {
  dm::DmState& state = State();
  if (state.worker.Running()) return kWorkerRunning;
  if (state.forwarded != 0) {
    const ResultCode status = Cmd().Call<cmm::GetCurrentThreadStatusFn>("CmmGetCurrentThreadStatus");
    dm::SettleRead(status);
    return status;
  }
  return state.worker.Status();
}

ZK_EXPORT uint32_t DmStopCurrentThread(void) {
  dm::DmState& state = State();
  if (state.forwarded != 0) {
    const ResultCode rc = Cmd().Call<cmm::StopCurrentThreadFn>("CmmStopCurrentThread");
    dm::SettleRead();  // a stopped read leaves no image
    return rc;
  }
  return state.worker.Stop();
}

ZK_EXPORT uint32_t DmFreeMemory(void* buffer) {
  if (dm::Handouts().Release(buffer)) return kOk;
  // Not ours: a sector list entry array of the command layer.
  return dm::Forward<cmm::FreeMemoryFn>("CmmFreeMemory", buffer);
}
