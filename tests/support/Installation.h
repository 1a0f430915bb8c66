#pragma once
// A temporary installation: below a fresh directory, install/ (the
// installation directory, filled from the build's) and machine.reg, the
// machine registry whose App Paths entry names it.
#include "tests/support/Env.h"
#include "tests/support/TempDir.h"
#ifdef _WIN32
#include "platform/Registry.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

namespace zk::test {

// A machine registry whose App Paths entry names installDir. On Windows the
// entry is the system's registry (the fresh Wine prefix of the tests').
inline void WriteMachineRegistry(const std::string& path, const std::string& installDir) {
  WriteFile(path, "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=" + installDir + "\n");
#ifdef _WIN32
  reg::SetString(reg::Hive::LocalMachine, reg::kAppPathsKey, reg::kAppPathsValue, installDir);
#endif
}

// The machine registry without its App Paths entry.
inline void RemoveMachineRegistry(const std::string& path) {
  std::filesystem::remove(path);
#ifdef _WIN32
  reg::SetString(reg::Hive::LocalMachine, reg::kAppPathsKey, reg::kAppPathsValue, "");
#endif
}

// How a file of the build lands in the installation: a symbolic link, or a
// file of its own that a test may spoil (a hard link where the file system
// allows, for programs that are replaced rather than changed), or a copy.
enum class Placement { kSymlink, kHardLink, kCopy };

class TempInstallation {
 public:
  explicit TempInstallation(const std::string& prefix = "zk-install") : root_(prefix) {
    std::filesystem::create_directories(Dir());
    WriteMachineRegistry(Registry(), Dir());
  }

  const TempDir& Root() const { return root_; }
  std::string Dir() const { return root_.File("install"); }
  std::string Registry() const { return root_.File("machine.reg"); }
  std::string ModulIni(const std::string& relative) const { return Dir() + "/target/" + relative + "/modul.ini"; }

  // Puts each name of the directory bin into the installation; false when
  // one fails. Directories are copied whole unless linked.
  bool Place(const std::string& bin, std::initializer_list<const char*> names, Placement how) const {
    namespace fs = std::filesystem;
    bool placed = true;
    for (const char* name : names) {
      const fs::path from = fs::path(bin) / name;
      const fs::path to = fs::path(Dir()) / name;
      std::error_code ec;
      if (how == Placement::kSymlink) {
        fs::create_symlink(from, to, ec);
      } else if (fs::is_directory(from)) {
        fs::copy(from, to, fs::copy_options::recursive, ec);
      } else {
        if (how == Placement::kHardLink) fs::create_hard_link(from, to, ec);
        if (how == Placement::kCopy || ec) {
          ec.clear();
          fs::copy_file(from, to, ec);
        }
      }
      placed = placed && !ec;
    }
    return placed;
  }

  // Puts this process (and the programs it starts) on the installation,
  // with a user hive of its own.
  void Use() const {
    zk::test::SetEnv("ZELKOR_MACHINE_REGISTRY", Registry());
    zk::test::SetEnv("XDG_CONFIG_HOME", root_.File("xdg"));
  }

 private:
  TempDir root_;
};

}  // namespace zk::test
