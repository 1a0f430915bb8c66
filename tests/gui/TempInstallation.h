#pragma once
// A copy of the build's installation that tests may change: the libraries,
// flash descriptions and help file linked, the target tree copied (the
// workbench writes the module descriptions), and a machine registry and a
// user hive of its own in force while the object lives.
#include <string>

namespace zk::gui::test {

class TempInstallation {
 public:
  // From the installation directory bin.
  explicit TempInstallation(const std::string& bin);
  ~TempInstallation();
  TempInstallation(const TempInstallation&) = delete;
  TempInstallation& operator=(const TempInstallation&) = delete;

  const std::string& Dir() const { return dir_; }
  bool Ready() const { return !dir_.empty(); }
  std::string ModulIni(const std::string& relative) const;

 private:
  std::string root_;
  std::string dir_;
};

}  // namespace zk::gui::test
