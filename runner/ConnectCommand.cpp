// CONNECT flash-type module-directory: load the data manager the module
// names, log in, and select the module's flash library for the flash type.
#include "runner/ScriptRunner.h"

#include "client/DmAccessReport.h"
#include "client/ModuleConnect.h"
#include "platform/Files.h"
#include "runner/RunnerTexts.h"
#include "runner/StatusScope.h"

namespace zk::runner {

CScriptRunner::CommandResult CScriptRunner::Connect(const Words& words, int) {
  StatusScope status(ui_, verbose_, texts::kConnecting, cancelEnabled_);
  const ConnectOutcome outcome = ConnectModule(dm_, files::ToNative(words[2].spelling), words[1].upper,
                                               [this](ResultCode started) { return Wait(started); });
  connected_ = outcome.LoggedIn();
  switch (outcome.step) {
    case ConnectStep::kConnected:
      status.Close(true);
      return CommandResult::kSucceeded;
    case ConnectStep::kLibraryName:
      Show(outcome.refusal);
      break;
    case ConnectStep::kLoad:
      FlashException().Report(ui_, texts::kConnectCaption, kDmDllNotLoaded);
      break;
    case ConnectStep::kLogin:
      if (outcome.login.end != WaitEnd::kStopped) Show(texts::kLoginFailed);
      break;
    case ConnectStep::kOldFirmware:
      Show(texts::kCheckOld);
      break;
    case ConnectStep::kNoFlashLibrary:
      Show(texts::kNoLibFound);
      break;
  }
  return CommandResult::kFailed;
}

}  // namespace zk::runner
