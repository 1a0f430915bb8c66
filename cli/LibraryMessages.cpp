#include "cli/LibraryMessages.h"

#include "platform/PortFailure.h"

namespace zk::cli {

LibraryMessages::LibraryMessages() { SetMessageBoxHandler(this, false); }

LibraryMessages::~LibraryMessages() { SetMessageBoxHandler(nullptr, false); }

int LibraryMessages::Show(std::string_view text, std::string_view caption, uint32_t type) {
  if (caption == com::kPortMessageCaption) {
    std::lock_guard lock(mutex_);
    portMessage_ = std::string(text);
  }
  return ShowMessageOnConsole(text, caption, type);
}

std::string LibraryMessages::PortMessage() const {
  std::lock_guard lock(mutex_);
  return portMessage_;
}

}  // namespace zk::cli
