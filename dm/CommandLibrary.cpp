#include "dm/CommandLibrary.h"

#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"

namespace zk::dm {
namespace {

constexpr std::string_view kDefaultCommandLibrary = "KORCmd.dll";
constexpr std::size_t kCommandDllBuffer = 255;

}  // namespace

std::string CommandLibraryPath(const std::string& modulePath) {
  const std::string dir = files::DirName(ModuleFileName(reinterpret_cast<const void*>(&CommandLibraryPath)));
  const std::string name = ini::GetString(modulePath, "General", "CommandDll", "", kCommandDllBuffer);
  return files::Join(dir, name.empty() ? std::string(kDefaultCommandLibrary) : name + ".dll");
}

}  // namespace zk::dm
