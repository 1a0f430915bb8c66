#pragma once
// Every message box of the workbench goes through the platform's one
// handler: QtMessageBoxes shows it as a Qt message box owned by the main
// window, on the GUI thread, also when a library's worker thread asks (its
// request is marshalled there). Tests install their own handler instead.
#include "common/DmAccessReport.h"
#include "common/ResultCodes.h"
#include "platform/MessageBox.h"

#include <QObject>

#include <string_view>

namespace zk::gui {

class QtMessageBoxes : public MessageBoxHandler {
 public:
  // Installs itself for the calling (GUI) thread.
  QtMessageBoxes();
  ~QtMessageBoxes() override;
  QtMessageBoxes(const QtMessageBoxes&) = delete;
  QtMessageBoxes& operator=(const QtMessageBoxes&) = delete;

  int Show(std::string_view text, std::string_view caption, uint32_t type) override;
  // Runs on the requesting thread: lets the GUI thread's event loop serve
  // the request.
  void Wake() override;

 private:
  QObject context_;
};

// A box through the installed handler; returns the button pressed.
int ShowMessage(std::string_view text, std::string_view caption, uint32_t type = MB_OK);

// Shows a result code's text with the operation's caption and one OK button.
class BoxReporter : public ResultReporter {
 public:
  void ShowResult(std::string_view text, std::string_view caption) override;
};

void ReportResult(std::string_view caption, ResultCode code);

}  // namespace zk::gui
