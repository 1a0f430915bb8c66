#pragma once
// What the script runner needs of the face it runs under (message boxes and
// the status window of the Qt face, standard error and a progress line of
// the console face), on top of the waiting loop's hooks.
#include "client/DmAccess.h"
#include "client/DmAccessReport.h"
#include "client/DmAccessWait.h"

#include <string_view>

namespace zk::runner {

inline constexpr std::string_view kProgramName = "Quillrun";

enum class MessageKind {
  kError,   // a failure; the run ends after it
  kScript,  // MESSAGE: waits for the user where there is one
};

class RunnerUi : public client::WaitUi, public client::BusyIndicator, public client::ResultReporter {
 public:
  // A message titled with the program's name, with an OK button.
  virtual void ShowMessage(std::string_view text, MessageKind kind) = 0;

  // The status window of one command: caption, a bar at 0 and Cancel
  // (usable when cancelEnabled).
  virtual void OpenStatus(std::string_view caption, bool cancelEnabled) = 0;
  // Closes the status window; when the command succeeded the bar shows 100
  // first.
  virtual void CloseStatus(bool succeeded) = 0;

  // Whether the user can cancel an operation while no status window is
  // shown (Ctrl-C on a console).
  virtual bool CancelsWithoutWindow() const = 0;
  // Around each wait for a worker: cancellable says whether a stop request
  // is honoured now.
  virtual void BeginWait(bool cancellable) = 0;
  virtual void EndWait() = 0;
  // Whether the user asked to end the run (a second Ctrl-C); the runner
  // ends it after the running step, disconnecting when connected.
  virtual bool EndRequested() const { return false; }

  void Begin() override {}
  void End() override {}
  void ShowStopRefused(std::string_view text) override { ShowMessage(text, MessageKind::kError); }
};

}  // namespace zk::runner
