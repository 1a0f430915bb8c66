// Erasing a sector range and reading flash into the image: checked here,
// then run on the command layer's workers.
#include "common/DmApi.h"
#include "common/Export.h"
#include "dm/CommandLayer.h"
#include "dm/OwnWorker.h"
#include "dm/Progress.h"
#include "dm/ProtectionCheck.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"

using namespace zk;
using dm::Cmd;
using dm::State;

ZK_EXPORT uint32_t DmEraseSectors(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo) {
  dm::SettleRead();
  const auto eraseSectors = Cmd().Require<cmm::RangeWorkerFn>("CmmEraseSectors");
  if (eraseSectors == nullptr) return kCmdDllError;
  if (dm::AnyWorkerRunning()) return kWorkerRunning;
  dm::MarkForwarded();
  if (range != nullptr) {
    if (const ResultCode rc = dm::ProtectionGuard().Check(range->start, range->end); rc != kOk) return rc;
  }
  return eraseSectors(range, result, threadInfo);
}

// A second name of the same entry.
ZK_EXPORT __attribute__((alias("DmEraseSectors"))) uint32_t DmEraseBlocks(RangeRequest* range, SectorList* result,
                                                                          WorkerThreadInfo* threadInfo);

ZK_EXPORT uint32_t DmReadFlash(ReadRequest* request, WorkerThreadInfo* threadInfo) {
  // A running worker may be writing the image's buffer.
  if (dm::AnyWorkerRunning()) return kWorkerRunning;
  dm::DmState& state = State();
  state.forwarded = 1;
  state.image.Discard();
  if (state.readPermission == 0) return kNoAccess;
  state.progressForwarded = 1;
  const auto readFlash = Cmd().Require<cmm::ReadFlashFn>("CmmReadFlash");
  if (readFlash == nullptr) return kCmdDllError;
  if (request == nullptr) return kFailed;
  if (const ResultCode rc = dm::ProtectionGuard().CheckSpan(request->start, request->length); rc != kOk) {
    return rc;
  }
  ReadResult* result = state.image.PrepareRead(request->length);
  if (result == nullptr) return kFailed;
  const ResultCode rc = readFlash(request, result, threadInfo);
  if (rc == kOk) state.image.CommitRead(request->start);
  return rc;
}
