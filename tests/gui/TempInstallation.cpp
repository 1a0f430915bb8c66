#include "tests/gui/TempInstallation.h"

#include <cstdio>
#include <filesystem>

#include <stdlib.h>

namespace zk::gui::test {
namespace {

namespace fs = std::filesystem;

}  // namespace

TempInstallation::TempInstallation(const std::string& bin) {
  char tmpl[] = "/tmp/zk-gui-install-XXXXXX";
  const char* made = mkdtemp(tmpl);
  if (made == nullptr) return;
  root_ = made;
  const std::string dir = root_ + "/install";
  std::error_code ec;
  fs::create_directories(dir, ec);
  for (const char* name : {"libKORDm.so", "libKORCmd.so", "libTarnlink.so", "libZkPlatform.so", "FlashInfo",
                           "Zelkor.ini", "ZelkorGui.html"}) {
    fs::create_symlink(fs::path(bin) / name, fs::path(dir) / name, ec);
  }
  fs::copy(fs::path(bin) / "target", fs::path(dir) / "target", fs::copy_options::recursive, ec);
  if (ec) return;
  const std::string registry = root_ + "/machine.reg";
  FILE* file = std::fopen(registry.c_str(), "w");
  if (file == nullptr) return;
  std::fprintf(file, "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=%s\n", dir.c_str());
  std::fclose(file);
  setenv("ZELKOR_MACHINE_REGISTRY", registry.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ + "/xdg").c_str(), 1);
  dir_ = dir;
}

TempInstallation::~TempInstallation() {
  std::error_code ec;
  if (!root_.empty()) fs::remove_all(root_, ec);
}

std::string TempInstallation::ModulIni(const std::string& relative) const {
  return dir_ + "/target/" + relative + "/modul.ini";
}

}  // namespace zk::gui::test
