#pragma once
// The libraries' message boxes while zelkor is connected: each printed as
// the console shows it ("caption: text" on standard error, the default
// answer given), and the last one about the serial port kept, so that a
// connect that failed on the port can say why (in use by another program,
// no such device, no permission) where the result code only says that it
// could not be opened. Installed for its lifetime; any thread may show.
#include "platform/MessageBox.h"
#include "platform/NonCopyable.h"

#include <mutex>
#include <string>

namespace zk::cli {

class LibraryMessages final : public MessageBoxHandler, private NonCopyable {
 public:
  LibraryMessages();
  ~LibraryMessages() override;

  int Show(std::string_view text, std::string_view caption, uint32_t type) override;

  // The text of the last message about the port; empty when there was none.
  std::string PortMessage() const;

 private:
  mutable std::mutex mutex_;
  std::string portMessage_;
};

}  // namespace zk::cli
