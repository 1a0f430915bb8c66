#pragma once
// The console face: messages go to standard error after the program's name,
// MESSAGE waits for Enter when standard input is a terminal, the status
// window becomes a progress line (a bar redrawn in place on a terminal,
// plain percentage lines otherwise), and Ctrl-C is the Cancel button.
//
// Ctrl-C while an operation that may be cancelled runs stops it; anywhere
// else (an operation that may not be cancelled, a library call that is not
// polled, between two steps) it is refused with a message. A second Ctrl-C
// ends the run once the running library call has returned: a running
// worker is stopped at its next check point and the module disconnected.
// SIGTERM and SIGHUP end the run as a second Ctrl-C does.
#include "runner/RunnerUi.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zk::runner {

class ConsoleUi : public RunnerUi {
 public:
  // out: where messages and progress go; in: where MESSAGE reads Enter.
  ConsoleUi(std::FILE* out, std::FILE* in);
  ~ConsoleUi() override;
  ConsoleUi(const ConsoleUi&) = delete;
  ConsoleUi& operator=(const ConsoleUi&) = delete;

  // Installs the handler of Ctrl-C, SIGTERM and SIGHUP and the message box
  // handler of the libraries (which print here too).
  void Install();

  void ShowMessage(std::string_view text, MessageKind kind) override;
  void ShowResult(std::string_view text, std::string_view caption) override;
  void OpenStatus(std::string_view caption, bool cancelEnabled) override;
  void CloseStatus(bool succeeded) override;
  bool CancelsWithoutWindow() const override { return true; }
  void BeginWait(bool cancellable) override;
  void EndWait() override;
  bool EndRequested() const override;
  bool AbandonStop() override { return EndRequested(); }

  bool PumpOneEvent(client::EventFilter filter) override;
  bool TakeStopRequest() override;
  void WaitForEvent(uint32_t milliseconds) override;
  void ShowProgress(uint32_t percent) override;

 private:
  class LibraryMessages;

  void PrintLine(std::string_view text);
  void DrawProgress(uint32_t percent);
  void EndProgressLine();

  std::FILE* const out_;
  std::FILE* const in_;
  const bool outIsTerminal_;
  const bool inIsTerminal_;
  bool statusOpen_ = false;
  bool progressDrawn_ = false;
  bool refusalShown_ = false;
  bool cancellable_ = false;
  bool stopTaken_ = false;
  std::string caption_;
  uint32_t percent_ = 0;
  std::unique_ptr<LibraryMessages> libraryMessages_;
};

}  // namespace zk::runner
