#pragma once
// Commands to a running simulator, one per line, from a FIFO or standard
// input: "reset", "fault KIND[:VALUE]" (fires at the next opportunity),
// "quit".
#include "modsim/FaultInjector.h"
#include "platform/NonCopyable.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::modsim {

struct ControlCommand {
  enum class Kind { kReset, kFault, kQuit } kind;
  FaultRule fault{FaultKind::kNakBlock, 1, std::nullopt};
};

// Nullopt and a message for a line that is no command.
std::optional<ControlCommand> ParseControlCommand(std::string_view line, std::string* error);

class ControlChannel : private NonCopyable {
 public:
  ControlChannel() = default;
  ~ControlChannel();

  // "-": standard input; otherwise a FIFO at path, created if absent.
  bool Open(const std::string& path, std::string* error);
  int Fd() const { return fd_; }
  // The complete lines read so far.
  std::vector<std::string> ReadLines();

 private:
  int fd_ = -1;
  bool owned_ = false;
  bool createdFifo_ = false;
  std::string path_;
  std::string partial_;
};

}  // namespace zk::modsim
