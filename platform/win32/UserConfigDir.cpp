#include "platform/SettingsCopy.h"

#include "platform/Files.h"

// The shell's header needs the whole of <windows.h>; nothing here clashes
// with the names of the layer.
#include <shlobj.h>
#include <windows.h>

#include "platform/win32/Wide.h"

namespace zk::settings {

// %APPDATA%\zelkor: the user's roaming application data.
std::string UserConfigDir() {
  wchar_t* folder = nullptr;
  std::string dir;
  if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder) == S_OK) {
    dir = win32::Narrow(folder);
  }
  ::CoTaskMemFree(folder);
  return dir.empty() ? std::string() : files::Join(dir, "zelkor");
}

}  // namespace zk::settings
