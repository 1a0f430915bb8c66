#pragma once
// A copy of the build's installation that tests may change: the libraries,
// flash descriptions and help file linked, the target tree copied (the
// workbench writes the module descriptions), and a machine registry and a
// user hive of its own in force from its construction on.
#include "tests/support/Installation.h"

#include <string>

namespace zk::gui::test {

class WorkbenchInstallation : public zk::test::TempInstallation {
 public:
  // From the installation directory bin.
  explicit WorkbenchInstallation(const std::string& bin) : TempInstallation("zk-gui-install") {
    using zk::test::Placement;
    ready_ = Place(bin,
                   {"libKORDm.so", "libKORCmd.so", "libTarnlink.so", "libZkPlatform.so", "FlashInfo", "Zelkor.ini",
                    "ZelkorGui.html"},
                   Placement::kSymlink) &&
             Place(bin, {"target"}, Placement::kCopy);
    if (ready_) Use();
  }
  bool Ready() const { return ready_; }

 private:
  bool ready_ = false;
};

}  // namespace zk::gui::test
