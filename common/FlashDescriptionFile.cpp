#include "common/FlashDescriptionFile.h"

#include "common/IniFileAccess.h"
#include "platform/Files.h"

#include <cstdio>

namespace zk {

std::string FlashDescriptionName(const FlashLibInfo& library) {
  char name[32];
  std::snprintf(name, sizeof name, "%.4xx%.4xx%.4x.ini", static_cast<unsigned>(library.words[2]),
                static_cast<unsigned>(library.words[1]), static_cast<unsigned>(library.words[3]));
  return name;
}

std::string FlashDescriptionDir(const std::string& settingsDir) {
  const std::string settings = files::ResolveNoCase(files::Join(settingsDir, files::kSettingsFile));
  return files::Join(settingsDir, files::ToNative(IniFileAccess(settings).IniFilePath()));
}

std::string FlashDescriptionFile(const std::string& dir, const FlashLibInfo& library) {
  return files::ResolveNoCase(files::Join(dir, FlashDescriptionName(library)));
}

}  // namespace zk
