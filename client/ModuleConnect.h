#pragma once
// Connecting a program to a module through the data manager: load the data
// manager the module description names, log in, refuse old firmware, and
// select the module's flash library for the flash type. Shared by the script
// runner's CONNECT and the zelkor command line.
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"
#include "common/ResultCodes.h"

#include <functional>
#include <string>
#include <string_view>

namespace zk {

// The flash type every module of this system uses.
inline constexpr std::string_view kExternalAmd = "EXTERNAMD";

// The module description in dir, its name looked up ignoring case.
std::string ModuleDescriptionPath(const std::string& dir);

// The step at which a connection failed, or kConnected.
enum class ConnectStep { kConnected, kLibraryName, kLoad, kLogin, kOldFirmware, kNoFlashLibrary };

struct ConnectOutcome {
  ConnectStep step = ConnectStep::kConnected;
  // kLogin: how the login worker ended (stopped, or its status).
  WaitOutcome login;
  // kLibraryName: the message that refuses the data manager's name.
  std::string refusal;
  // Logged in and not disconnected again (kConnected, kOldFirmware).
  bool LoggedIn() const { return step == ConnectStep::kConnected || step == ConnectStep::kOldFirmware; }
};

// Waits for the worker of an export whose immediate result is started.
using WorkerWait = std::function<WaitOutcome(ResultCode started)>;

// Loads, logs in and selects the flash library; a data manager name that
// is not a plain library name is refused before anything is loaded, and a
// connection without a flash library is ended again (exit mode 0).
ConnectOutcome ConnectModule(CDmAccess& dm, const std::string& moduleDir, std::string_view flashType,
                             const WorkerWait& wait);

}  // namespace zk
