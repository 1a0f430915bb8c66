#pragma once
// Every message box of the workbench goes through the platform's one
// handler, which the program installs (client/qt/QtMessageBoxes, owned by the
// main window). Tests install their own handler instead.
#include "client/DmAccessReport.h"
#include "common/ResultCodes.h"
#include "platform/MessageBox.h"

#include <QString>

#include <string>
#include <string_view>

namespace zk::gui {

// A box through the installed handler, logged; returns the button pressed.
int ShowMessage(std::string_view text, std::string_view caption, uint32_t type = MB_OK);

// Shows a result code's text with the operation's caption and one OK button.
// A detail, when there is one, stands on a line under the text.
class BoxReporter : public client::ResultReporter {
 public:
  explicit BoxReporter(std::string_view detail = {}) : detail_(detail) {}
  void ShowResult(std::string_view text, std::string_view caption) override;

 private:
  std::string detail_;
};

// "228 (0xE4)"
QString ResultCodeText(ResultCode code);

// The code logged, then its text shown with the caption (and detail on a
// line under it).
void ReportResult(std::string_view caption, ResultCode code, std::string_view detail = {});

}  // namespace zk::gui
