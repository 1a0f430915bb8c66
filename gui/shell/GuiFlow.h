#pragma once
// The workbench's face of the flows of client/ModuleFlow: which loop waits
// for a worker (the page running the flow says: a progress bar, or Cancel
// on its button), the connect page's answers (the chooser dialog, the
// bank lines and the status texts), and a line in the activity log for
// every step and every worker's result code.
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"
#include "client/ModuleFlow.h"
#include "platform/NonCopyable.h"

#include <functional>
#include <optional>
#include <span>

class QProgressBar;

namespace zk::gui {

struct CancellableWait;

class CGuiFlow : public client::FlowFace, private NonCopyable {
 public:
  // Waits for a started worker.
  using WaitFn = std::function<client::WaitOutcome(client::CDmAccess&)>;

  explicit CGuiFlow(client::CDmAccess& dm) : dm_(dm), flow_(dm, *this) {}

  client::ModuleFlow& Flow() { return flow_; }
  const client::ModuleFlow& Flow() const { return flow_; }

  // The wait of the flows run while the scope lives; without one, the
  // progress loop without a bar.
  class WaitScope : private NonCopyable {
   public:
    WaitScope(CGuiFlow& owner, WaitFn wait) : owner_(owner), previous_(std::move(owner.wait_)) {
      owner_.wait_ = std::move(wait);
    }
    ~WaitScope() { owner_.wait_ = std::move(previous_); }

   private:
    CGuiFlow& owner_;
    WaitFn previous_;
  };
  // The progress loop on bar (which may be null).
  static WaitFn Progress(QProgressBar* bar);
  // The cancellable loop as wait says (kept by reference: it outlives the flow call).
  static WaitFn Cancellable(const CancellableWait& wait);

  // The connect page's answers.
  std::function<std::optional<std::size_t>(int bank, std::span<const FlashLibInfo> found)> chooser;
  std::function<void(const client::BankRow&)> bankConnected;
  std::function<void(client::ConnectStage)> stageReached;

  client::WaitOutcome Wait(client::FlowPhase phase, ResultCode started) override;
  std::optional<std::size_t> ChooseFlashLib(int bank, std::span<const FlashLibInfo> found) override;
  void StageReached(client::ConnectStage stage) override;
  void BankConnected(const client::BankRow& row) override;
  void PhaseStarted(client::FlowPhase phase, uint64_t total) override;
  void PhaseEnded(client::FlowPhase phase, bool succeeded) override;
  void Erasing(const client::BankRange& range) override;
  // The download's needed-sector erase reports a failed range and goes on.
  bool GoOnAfterFailedErase(const client::BankRange& range, const client::FlowResult& result) override;

 private:
  client::CDmAccess& dm_;
  client::ModuleFlow flow_;
  WaitFn wait_;
};

}  // namespace zk::gui
