#include "client/ModuleConnect.h"

#include "common/IniFileAccess.h"
#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"

#include <cstdio>
#include <optional>

namespace zk {
namespace {

constexpr std::string_view kDefaultDataManager = "KORDm";
constexpr std::string_view kDataManagerKey = "DmDLL";
constexpr std::string_view kModuleDescription = "Modul.ini";
constexpr std::string_view kExternalFlash = "EXTERNAL FLASH";
constexpr std::size_t kModeBuffer = 100;
constexpr uint8_t kFirstLibrary = 0;
constexpr uint8_t kNextLibrary = 1;
// A module offers a handful of flash libraries; a list that does not end
// is cut here.
constexpr int kMaxFlashLibraries = 256;

// The directory of the flash description files: INIFilePath of the
// program-wide settings file, below the program's directory.
std::string FlashDescriptionDir() {
  const std::string programDir = files::HostProgramDir();
  const std::string settings = files::ResolveNoCase(files::Join(programDir, files::kSettingsFile));
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

bool SelectFlashLibrary(CDmAccess& dm, std::string_view flashType) {
  const std::string dir = FlashDescriptionDir();
  FlashLibRequest request{kFirstLibrary, 0};
  for (int n = 0; n < kMaxFlashLibraries; ++n) {
    FlashLibInfo info{};
    const ResultCode result = dm.FindFlashLib(&request, &info);
    request.selector = kNextLibrary;
    if (EndsList(result, info)) return false;
    const std::string mode = ini::GetString(FlashDescriptionPath(dir, info), "General", "Mode", "", kModeBuffer);
    if (flashType == kExternalAmd && text::EqualsNoCase(mode, kExternalFlash)) {
      FlashLibSelectionWords selection{{info.words[0], info.words[3]}};
      dm.SelectFlashLib(&selection);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string ModuleDescriptionPath(const std::string& dir) {
  if (std::optional<std::string> found = files::FindNoCase(dir, kModuleDescription)) return *found;
  return files::Join(dir, kModuleDescription);
}

ConnectOutcome ConnectModule(CDmAccess& dm, const std::string& moduleDir, std::string_view flashType,
                             const WorkerWait& wait) {
  ConnectOutcome outcome;
  const std::string modulePath = ModuleDescriptionPath(moduleDir);
  std::string dataManager = IniFileAccess(modulePath).DmDll();
  if (dataManager.empty()) dataManager = kDefaultDataManager;
  if (!IsPlainLibraryName(dataManager)) {
    outcome.step = ConnectStep::kLibraryName;
    outcome.refusal = LibraryNameRefusal(modulePath, kDataManagerKey, dataManager);
    return outcome;
  }
  if (!dm.Load(dataManager)) {
    outcome.step = ConnectStep::kLoad;
    return outcome;
  }
  LoginInfo login{};
  WorkerThreadInfo thread{};
  outcome.login = wait(dm.Login(modulePath.c_str(), &login, &thread));
  if (outcome.login.end == WaitEnd::kStopped || outcome.login.status != kOk) {
    outcome.step = ConnectStep::kLogin;
    return outcome;
  }
  if ((dm.CheckOldZelkor() & kStatusMask) == kOldFirmware) {
    outcome.step = ConnectStep::kOldFirmware;
    return outcome;
  }
  if (!SelectFlashLibrary(dm, flashType)) {
    ExitRequest exit{0, 0};
    dm.ExitZelkor(&exit);
    outcome.step = ConnectStep::kNoFlashLibrary;
  }
  return outcome;
}

}  // namespace zk
