// CONNECT flash-type module-directory: load the data manager the module
// names, log in, and select the module's flash library for the flash type.
#include "runner/ScriptRunner.h"

#include "common/DmAccessReport.h"
#include "common/IniFileAccess.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"
#include "runner/RunnerTexts.h"
#include "runner/StatusScope.h"

#include <cstdio>
#include <optional>

namespace zk::runner {
namespace {

constexpr std::string_view kDefaultDataManager = "KORDm";
constexpr std::string_view kDataManagerKey = "DmDLL";
constexpr std::string_view kModuleDescription = "Modul.ini";
constexpr std::string_view kSettingsFile = "Zelkor.ini";
constexpr std::string_view kExternalAmd = "EXTERNAMD";
constexpr std::string_view kExternalFlash = "EXTERNAL FLASH";
constexpr std::size_t kModeBuffer = 100;
constexpr uint8_t kFirstLibrary = 0;
constexpr uint8_t kNextLibrary = 1;
// A module offers a handful of flash libraries; a list that does not end
// is cut here.
constexpr int kMaxFlashLibraries = 256;

// The module description in dir, its name looked up ignoring case.
std::string ModuleDescriptionPath(const std::string& dir) {
  if (std::optional<std::string> found = files::FindNoCase(dir, kModuleDescription)) return *found;
  return files::Join(dir, kModuleDescription);
}

// The directory of the flash description files: INIFilePath of the
// program-wide settings file, below the program's directory.
std::string FlashDescriptionDir() {
  const std::string programDir = files::HostProgramDir();
  const std::string settings = files::ResolveNoCase(files::Join(programDir, kSettingsFile));
  return files::Join(programDir, files::ToNative(IniFileAccess(settings).IniFilePath()));
}

std::string FlashDescriptionPath(const std::string& dir, const FlashLibInfo& info) {
  char name[32];
  std::snprintf(name, sizeof name, "%.4x" "x" "%.4x" "x" "%.4x" ".ini", info.words[2], info.words[1],
                info.words[3]);
  return files::ResolveNoCase(files::Join(dir, name));
}

bool EndsList(ResultCode result, const FlashLibInfo& info) {
  return result != kOk || (info.words[0] == 0 && info.words[3] == 0);
}

}  // namespace

CScriptRunner::CommandResult CScriptRunner::Connect(const Words& words, int) {
  StatusScope status(ui_, verbose_, texts::kConnecting, cancelEnabled_);
  const std::string moduleDir = files::ToNative(words[2].spelling);
  const std::string modulePath = ModuleDescriptionPath(moduleDir);
  std::string dataManager = IniFileAccess(modulePath).DmDll();
  if (dataManager.empty()) dataManager = kDefaultDataManager;
  if (!IsPlainLibraryName(dataManager)) {
    Show(LibraryNameRefusal(modulePath, kDataManagerKey, dataManager));
    return CommandResult::kFailed;
  }
  if (!dm_.Load(dataManager)) {
    FlashException().Report(ui_, texts::kConnectCaption, kDmDllNotLoaded);
    return CommandResult::kFailed;
  }

  LoginInfo login{};
  WorkerThreadInfo thread{};
  if (!Completed(dm_.Login(modulePath.c_str(), &login, &thread), texts::kLoginFailed)) {
    return CommandResult::kFailed;
  }
  connected_ = true;
  if ((dm_.CheckOldZelkor() & kStatusMask) == kOldFirmware) {
    Show(texts::kCheckOld);
    return CommandResult::kFailed;
  }
  if (!SelectExternalFlash(words[1].upper)) {
    Show(texts::kNoLibFound);
    ExitRequest exit{0, 0};
    dm_.ExitZelkor(&exit);
    connected_ = false;
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

bool CScriptRunner::SelectExternalFlash(std::string_view flashType) {
  const std::string dir = FlashDescriptionDir();
  FlashLibRequest request{kFirstLibrary, 0};
  for (int n = 0; n < kMaxFlashLibraries; ++n) {
    FlashLibInfo info{};
    const ResultCode result = dm_.FindFlashLib(&request, &info);
    request.selector = kNextLibrary;
    if (EndsList(result, info)) return false;
    const std::string mode =
        ToUpperAscii(ini::GetString(FlashDescriptionPath(dir, info), "General", "Mode", "", kModeBuffer));
    if (flashType == kExternalAmd && mode == kExternalFlash) {
      FlashLibSelectionWords selection{{info.words[0], info.words[3]}};
      dm_.SelectFlashLib(&selection);
      return true;
    }
  }
  return false;
}

}  // namespace zk::runner
