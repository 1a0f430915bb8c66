// CONNECT flash-type module-directory: load the data manager the module
// names, log in, and select the module's flash library for the flash type.
#include "runner/ScriptRunner.h"

#include "client/DmAccessReport.h"
#include "platform/Files.h"
#include "runner/RunnerTexts.h"
#include "runner/StatusScope.h"

namespace zk::runner {

CScriptRunner::CommandResult CScriptRunner::Connect(const Words& words, int) {
  StatusScope status(ui_, verbose_, texts::kConnecting, cancelEnabled_);
  flashType_ = words[1].upper;
  const client::ConnectOutcome outcome = flow_.Connect(files::ToNative(words[2].spelling));
  connected_ = outcome.Connected();
  switch (outcome.step) {
    case client::ConnectStep::kConnected: status.Close(true); return CommandResult::kSucceeded;
    case client::ConnectStep::kLibraryName: Show(outcome.refusal); break;
    case client::ConnectStep::kLoad:
      client::FlashException().Report(ui_, texts::kConnectCaption, kDmDllNotLoaded);
      break;
    case client::ConnectStep::kLogin:
      if (outcome.login.end != client::WaitEnd::kStopped) Show(texts::kLoginFailed);
      break;
    case client::ConnectStep::kOldFirmware: Show(texts::kCheckOld); break;
    case client::ConnectStep::kNoFlashLibrary:
    case client::ConnectStep::kSelectFailed: Show(texts::kNoLibFound); break;
  }
  return CommandResult::kFailed;
}

void CScriptRunner::ReportFlow(const client::FlowResult& result, const char* caption) {
  switch (result.end) {
    case client::FlowEnd::kDone:
    case client::FlowEnd::kStopped: return;
    case client::FlowEnd::kRefused: Show(std::string(caption) + ": " + result.refusal); return;
    case client::FlowEnd::kCallFailed:
    case client::FlowEnd::kWorkerFailed: client::FlashException().Report(ui_, caption, result.code); return;
  }
}

}  // namespace zk::runner
