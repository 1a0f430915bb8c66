#include "gui/GuiFlow.h"

#include "gui/MessageBoxes.h"
#include "gui/WaitLoops.h"

namespace zk::gui {

CGuiFlow::WaitFn CGuiFlow::Progress(QProgressBar* bar) {
  return [bar](CDmAccess& dm) { return WaitOutcome{WaitEnd::kEnded, ProgressLoop(dm, bar)}; };
}

CGuiFlow::WaitFn CGuiFlow::Cancellable(const CancellableWait& wait) {
  return [&wait](CDmAccess& dm) { return CancellableLoop(dm, wait); };
}

WaitOutcome CGuiFlow::Wait(client::FlowPhase, ResultCode started) {
  if (started != kOk) return {WaitEnd::kEnded, started};
  if (wait_) return wait_(dm_);
  return {WaitEnd::kEnded, ProgressLoop(dm_, nullptr)};
}

std::optional<std::size_t> CGuiFlow::ChooseFlashLib(int bank, std::span<const FlashLibInfo> found) {
  // A single library needs no question.
  if (!chooser) return found.empty() ? std::nullopt : std::optional<std::size_t>(found.size() - 1);
  return chooser(bank, found);
}

void CGuiFlow::StageReached(client::ConnectStage stage) {
  if (stageReached) stageReached(stage);
}

bool CGuiFlow::GoOnAfterFailedErase(const client::BankRange&, const client::FlowResult& result) {
  ReportResult("EraseSector", result.code);
  return true;
}

void CGuiFlow::BankConnected(const client::BankRow& row) {
  if (bankConnected) bankConnected(row);
}

}  // namespace zk::gui
