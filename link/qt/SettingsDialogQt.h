#pragma once
// The settings dialog in Qt Widgets, shown on the thread of a running
// QApplication only.
#include "link/SettingsDialog.h"

namespace zk::link {

class QtSettingsDialog final : public SettingsDialog {
 public:
  std::optional<DialogChoice> Run(const DialogSetup& setup) override;
};

// Whether a QApplication exists and the caller is on its thread.
bool QtDialogAvailable();

}  // namespace zk::link
