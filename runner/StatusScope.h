#pragma once
// The status window of one command, shown when the run is verbose: opened
// with the command's caption, closed when the command ends (the bar at 100
// first when it succeeded).
#include "runner/RunnerUi.h"

#include <string_view>

namespace zk::runner {

class StatusScope {
 public:
  StatusScope(RunnerUi& ui, bool shown, std::string_view caption, bool cancelEnabled) : ui_(ui), open_(shown) {
    if (open_) ui_.OpenStatus(caption, cancelEnabled);
  }
  ~StatusScope() { Close(false); }
  StatusScope(const StatusScope&) = delete;
  StatusScope& operator=(const StatusScope&) = delete;

  void Close(bool succeeded) {
    if (!open_) return;
    open_ = false;
    ui_.CloseStatus(succeeded);
  }

 private:
  RunnerUi& ui_;
  bool open_;
};

}  // namespace zk::runner
