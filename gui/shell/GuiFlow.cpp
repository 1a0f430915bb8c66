#include "gui/shell/GuiFlow.h"

#include "gui/shell/Globals.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitLoops.h"

namespace zk::gui {
namespace {

QString PhaseText(client::FlowPhase phase) { return Qs(client::PhaseName(phase)); }

QString StageText(client::ConnectStage stage) {
  switch (stage) {
    case client::ConnectStage::kLoggingIn: return "connect: logging in";
    case client::ConnectStage::kSearchingLibrary: return "connect: searching the flash libraries";
    case client::ConnectStage::kStartingLibrary: return "connect: starting the flash library";
  }
  return {};
}

void LogStep(const QString& text) { TheLog().Add(LogKind::kStep, text); }

}  // namespace

CGuiFlow::WaitFn CGuiFlow::Progress(QProgressBar* bar) {
  return [bar](client::CDmAccess& dm) { return client::WaitOutcome{client::WaitEnd::kEnded, ProgressLoop(dm, bar)}; };
}

CGuiFlow::WaitFn CGuiFlow::Cancellable(const CancellableWait& wait) {
  return [&wait](client::CDmAccess& dm) { return CancellableLoop(dm, wait); };
}

client::WaitOutcome CGuiFlow::Wait(client::FlowPhase phase, ResultCode started) {
  if (started != kOk) {
    TheLog().Add(LogKind::kResult, PhaseText(phase) + ": did not start, result code " + ResultCodeText(started));
    return {client::WaitEnd::kEnded, started};
  }
  const client::WaitOutcome outcome =
      wait_ ? wait_(dm_) : client::WaitOutcome{client::WaitEnd::kEnded, ProgressLoop(dm_, nullptr)};
  TheLog().Add(LogKind::kResult, PhaseText(phase) +
                                     (outcome.end == client::WaitEnd::kStopped ? ": stopped" : ": ended") +
                                     ", result code " + ResultCodeText(outcome.status));
  return outcome;
}

std::optional<std::size_t> CGuiFlow::ChooseFlashLib(int bank, std::span<const FlashLibInfo> found) {
  // A single library needs no question.
  if (!chooser) return found.empty() ? std::nullopt : std::optional<std::size_t>(found.size() - 1);
  return chooser(bank, found);
}

void CGuiFlow::StageReached(client::ConnectStage stage) {
  LogStep(StageText(stage));
  if (stageReached) stageReached(stage);
}

bool CGuiFlow::GoOnAfterFailedErase(const client::BankRange&, const client::FlowResult& result) {
  ReportResult("EraseSector", result.code);
  return true;
}

void CGuiFlow::BankConnected(const client::BankRow& row) {
  LogStep(QString("connect: bank %1 at 0x%2, %3 kB, %4 blocks of sectors")
              .arg(row.bank)
              .arg(QString::number(row.start, 16).toUpper())
              .arg(row.flashSize)
              .arg(row.blocks.size()));
  if (bankConnected) bankConnected(row);
}

void CGuiFlow::PhaseStarted(client::FlowPhase phase, uint64_t total) {
  LogStep(PhaseText(phase) + (total != 0 ? QString(" started: %1 bytes").arg(total) : QString(" started")));
}

void CGuiFlow::PhaseEnded(client::FlowPhase phase, bool succeeded) {
  LogStep(PhaseText(phase) + (succeeded ? " done" : " not done"));
}

void CGuiFlow::Erasing(const client::BankRange& range) {
  LogStep(QString("erase: bank %1, %2").arg(range.bank).arg(Qs(client::RangeText(range.start, range.end))));
}

}  // namespace zk::gui
