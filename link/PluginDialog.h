#pragma once
// The settings dialog as the transport shows it: the plugin library
// (DialogPlugin.h) loaded from the transport's own folder for one Run and
// released afterwards. A plugin that is missing or lacks its entry point is
// reported in a message box naming the file; the dialog then counts as
// cancelled, as it does without a running application.
#include "link/SettingsDialog.h"

#include <string>

namespace zk::link {

class PluginSettingsDialog final : public SettingsDialog {
 public:
  // folder: where the plugin library is looked for.
  explicit PluginSettingsDialog(std::string folder) : folder_(std::move(folder)) {}
  std::optional<DialogChoice> Run(const DialogSetup& setup) override;

 private:
  std::string folder_;
};

// The text of that message box: the plugin's file and why it failed.
std::string DialogMissingText(const std::string& file, const std::string& why);

}  // namespace zk::link
