#pragma once
// The message boxes the libraries ask for, shown as Qt message boxes on the
// GUI thread; a worker thread's request waits there until it is answered.
#include "platform/MessageBox.h"

namespace zk::runner {

class LibraryMessageBoxes : public MessageBoxHandler {
 public:
  // Installs itself for the calling (GUI) thread.
  LibraryMessageBoxes();
  ~LibraryMessageBoxes() override;
  LibraryMessageBoxes(const LibraryMessageBoxes&) = delete;
  LibraryMessageBoxes& operator=(const LibraryMessageBoxes&) = delete;

  int Show(std::string_view text, std::string_view caption, uint32_t type) override;
  void Wake() override;
};

}  // namespace zk::runner
