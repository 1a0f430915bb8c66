#include "dm/CommandLibrary.h"

#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"
#include "platform/MessageBox.h"

namespace zk::dm {
namespace {

constexpr std::string_view kDefaultCommandLibrary = "KORCmd.dll";
constexpr std::size_t kCommandDllBuffer = 255;
constexpr char kCommandDllKey[] = "CommandDll";
constexpr char kLoginCaption[] = "Login";

}  // namespace

std::optional<std::string> CommandLibraryPath(const std::string& modulePath) {
  const std::string dir = files::DirName(ModuleFileName(reinterpret_cast<const void*>(&CommandLibraryPath)));
  const std::string name = ini::GetString(modulePath, "General", kCommandDllKey, "", kCommandDllBuffer);
  if (!IsPlainLibraryName(name)) {
    MessageBox(LibraryNameRefusal(modulePath, kCommandDllKey, name), kLoginCaption, MB_OK | MB_ICONERROR);
    return std::nullopt;
  }
  return files::Join(dir, name.empty() ? std::string(kDefaultCommandLibrary) : name + ".dll");
}

}  // namespace zk::dm
