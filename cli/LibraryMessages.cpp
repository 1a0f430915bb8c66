#include "cli/LibraryMessages.h"

#include "platform/PortFailure.h"

#include <cstdio>

namespace zk::cli {

LibraryMessages::LibraryMessages() { SetMessageBoxHandler(this, false); }

LibraryMessages::~LibraryMessages() { SetMessageBoxHandler(nullptr, false); }

int LibraryMessages::Show(std::string_view text, std::string_view caption, uint32_t type) {
  if (caption == com::kPortMessageCaption) {
    std::lock_guard lock(mutex_);
    portMessage_ = std::string(text);
  }
  std::string line;
  if (!caption.empty()) line.append(caption).append(": ");
  line.append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return DefaultMessageBoxAnswer(type);
}

std::string LibraryMessages::PortMessage() const {
  std::lock_guard lock(mutex_);
  return portMessage_;
}

}  // namespace zk::cli
