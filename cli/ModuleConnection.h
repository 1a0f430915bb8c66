#pragma once
// One connection to a module for one zelkor command: the module and its
// port resolved, the flows of client/ModuleFlow run through CDmAccess,
// waiting for workers with the progress of the running phase and Ctrl-C as
// the stop request, and the disconnect at the end, whatever happened in
// between.
#include "cli/ExitCode.h"
#include "cli/LibraryMessages.h"
#include "cli/Options.h"
#include "cli/Reporter.h"
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"
#include "client/ModuleFlow.h"
#include "platform/NonCopyable.h"

#include <functional>
#include <string>
#include <string_view>

namespace zk::cli {

class ModuleConnection : private NonCopyable {
 public:
  ModuleConnection(const Options& options, Reporter& reporter);
  ~ModuleConnection();

  // Resolves the module and the port and connects; kDone or the failure.
  ExitCode Connect();
  // Resolves the module and loads its data manager without a word to the
  // module: an image can then be loaded and judged before Connect.
  ExitCode LoadDataManager();
  // Reads the password from --password-file or ZELKOR_PASSWORD, before
  // anything connects; a usage error when there is none.
  ExitCode LoadPassword();
  // Sends the password (loaded first when it was not).
  ExitCode SendPassword();
  // A failed operation: its message (operation: result text, or for a port
  // that could not be opened the port's own message), kFailed or, after
  // Ctrl-C, kCancelled.
  ExitCode Fail(std::string_view operation, ResultCode code);
  // The end of a flow as an exit code: kDone, kCancelled after a stop,
  // kUsage for a refusal, otherwise kFailed; each after its message.
  ExitCode Check(const client::FlowResult& result);
  // A failure found by the command itself, reported and remembered.
  ExitCode Refuse(ExitCode code, std::string text);
  void Disconnect();
  // A failure found by the command itself (a usage or file error, a
  // mismatch): the text the summary carries.
  void Remember(std::string text);
  // Ends the command: disconnects, and with --json writes the summary
  // object (module, port, result code and text, phases, and what fields
  // adds). Returns code as the exit code.
  int Finish(ExitCode code, const std::function<void(JsonObject&)>& fields = {});

  client::CDmAccess& Dm() { return dm_; }
  client::ModuleFlow& Flow() { return flow_; }
  Reporter& Report() { return reporter_; }
  // The port as the user gave it, or COMn -> its device.
  const std::string& PortText() const { return port_; }

 private:
  ExitCode ResolveModuleDir();
  ExitCode ConnectEnd(const client::ConnectOutcome& outcome);
  ExitCode OverridePort();
  // What to check when the module did not answer a login (empty for other codes).
  std::string SilenceHint(ResultCode code) const;

  const Options& options_;
  Reporter& reporter_;
  // The flow's face: the reporter's phases and bars, Ctrl-C, the single
  // library choice.
  class Face : public client::FlowFace {
   public:
    explicit Face(Reporter& reporter) : reporter_(reporter) {}
    client::WaitOutcome Wait(client::FlowPhase phase, ResultCode started) override;
    std::optional<std::size_t> ChooseFlashLib(int bank, std::span<const FlashLibInfo> found) override;
    void PhaseStarted(client::FlowPhase phase, uint64_t total) override;
    void BytesDone(client::FlowPhase, uint64_t done) override { reporter_.Progress(done); }
    void PhaseEnded(client::FlowPhase, bool succeeded) override {
      total_ = 0;
      reporter_.EndPhase(succeeded);
    }
    void Erasing(const client::BankRange& range) override;
    bool StopRequested() override;
    void SetDm(client::CDmAccess* dm) { dm_ = dm; }

   private:
    Reporter& reporter_;
    client::CDmAccess* dm_ = nullptr;
    uint64_t total_ = 0;
  };

  LibraryMessages messages_;  // outlives the data manager
  client::CDmAccess dm_{client::CDmAccess::MissingDirectory::kUseProgramDirectory};
  Face face_;
  client::ModuleFlow flow_{dm_, face_};
  std::string moduleDir_;
  std::string modulePath_;
  std::string port_;
  std::string lastError_;
  std::optional<std::string> password_;
  bool connected_ = false;
};

}  // namespace zk::cli
