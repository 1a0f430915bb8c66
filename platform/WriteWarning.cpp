#include "platform/WriteWarning.h"

#include "platform/Immortal.h"
#include "platform/MessageBox.h"
#include "platform/SettingsCopy.h"

#include <mutex>
#include <set>

namespace zk {
namespace {

constexpr std::string_view kCaption = "Settings not saved";

struct FailedFiles {
  std::mutex mutex;
  std::set<std::string> paths;
};

// Never destroyed: a library may write while the process exits.
FailedFiles& Failed() {
  static detail::Immortal<FailedFiles> failed;
  return *failed;
}

// Whether path is newly failing (true) or was already reported.
bool MarkFailed(const std::string& path, bool written) {
  FailedFiles& failed = Failed();
  std::lock_guard lock(failed.mutex);
  if (written) {
    failed.paths.erase(path);
    return false;
  }
  return failed.paths.insert(path).second;
}

}  // namespace

std::string WriteFailedText(std::string_view path) {
  return "The setting could not be saved in\n" + std::string(path) +
         "\nThe file or its folder is not writable for you; the file is left as it was.";
}

bool ReportWrite(bool written, const std::string& path) {
  // An installed file is never written: the warning names its copy.
  const std::string file = settings::WrittenFile(path);
  if (MarkFailed(file, written)) MessageBox(WriteFailedText(file), kCaption, MB_OK | MB_ICONWARNING);
  return written;
}

}  // namespace zk
