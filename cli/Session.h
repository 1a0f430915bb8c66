#pragma once
// One connection to a module for one zelkor command: the module and its
// port resolved, the data manager loaded through CDmAccess, the login and
// flash library selection of ModuleConnect, waiting for workers with the
// progress of the running phase and Ctrl-C as the stop request, and the
// disconnect at the end, whatever happened in between.
#include "cli/ExitCode.h"
#include "cli/LibraryMessages.h"
#include "cli/Options.h"
#include "cli/Reporter.h"
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"

#include <functional>
#include <string>
#include <string_view>

namespace zk::cli {

class Session {
 public:
  Session(const Options& options, Reporter& reporter);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Resolves the module and the port and connects; kDone or the failure.
  ExitCode Connect();
  // Sends the password from --password-file or ZELKOR_PASSWORD.
  ExitCode SendPassword();
  // Waits for the worker an export started (started: its immediate result),
  // showing the running phase's progress as percent of bytes.
  WaitOutcome Wait(ResultCode started, uint64_t bytes);
  // A failed operation: its message (operation: result text, or for a port
  // that could not be opened the port's own message), kFailed or, after
  // Ctrl-C, kCancelled.
  ExitCode Fail(std::string_view operation, ResultCode code);
  // The outcome of a wait as an exit code (kDone when it ended with 0).
  ExitCode Check(std::string_view operation, const WaitOutcome& outcome);
  void Disconnect();
  // A failure found by the command itself (a usage or file error, a
  // mismatch): the text the summary carries.
  void Remember(std::string text);
  // Ends the command: disconnects, and with --json writes the summary
  // object (module, port, result code and text, phases, and what fields
  // adds). Returns code as the exit code.
  int Finish(ExitCode code, const std::function<void(JsonObject&)>& fields = {});

  CDmAccess& Dm() { return dm_; }
  Reporter& Report() { return reporter_; }
  const std::string& ModuleDir() const { return moduleDir_; }
  const std::string& ModulePath() const { return modulePath_; }
  // The port as the user gave it, or COMn -> its device.
  const std::string& PortText() const { return port_; }

 private:
  ExitCode OverridePort();

  const Options& options_;
  Reporter& reporter_;
  LibraryMessages messages_;  // outlives the data manager
  CDmAccess dm_{CDmAccess::MissingDirectory::kUseProgramDirectory};
  std::string moduleDir_;
  std::string modulePath_;
  std::string port_;
  std::string lastError_;
  bool connected_ = false;
};

// Whether path names an Intel HEX file (.hex or .h86 in any case).
bool IsHexPath(std::string_view path);

}  // namespace zk::cli
