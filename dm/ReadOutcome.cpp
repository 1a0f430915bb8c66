#include "dm/ReadOutcome.h"

#include "common/CmmApi.h"
#include "dm/CommandLayer.h"
#include "dm/State.h"

namespace zk::dm {

void SettleRead(ResultCode commandStatus) {
  MemoryImage& image = State().image;
  if (!image.ReadPending() || commandStatus == kWorkerRunning) return;
  if (commandStatus == kOk) {
    image.ConfirmRead();
  } else {
    image.Discard();
  }
}

void SettleRead() {
  if (!State().image.ReadPending()) return;
  const auto status = Cmd().Find<cmm::GetCurrentThreadStatusFn>("CmmGetCurrentThreadStatus");
  SettleRead(status != nullptr ? static_cast<ResultCode>(status()) : kCmdDllError);
}

}  // namespace zk::dm
